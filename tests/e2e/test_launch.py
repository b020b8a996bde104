"""The launcher starts its program with its own arguments, waits, passes the exit code on and
removes what it extracted."""

import os
import re
import signal
import subprocess
import time

import pytest

import sxe


def probe_package(flavour, tmp_path, extra=(), plugin=True, name="pkg"):
    pkg = tmp_path / name
    pkg.mkdir(parents=True)
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), *extra]
    return flavour.assemble(flavour.items(tmp_path, entries, plugin=plugin),
                            pkg / ("app" + flavour.exe))


def test_exit_codes_pass_through(flavour, tmp_path):
    package = probe_package(flavour, tmp_path)
    if flavour.win32:
        # through a Windows parent: wine shows Linux only the low byte
        for code in (0, 7, 256, 0xC0000005):
            got = flavour.run_literal(f'"{sxe.wine_path(package)}"', cwd=tmp_path,
                                      env={"SXE_PROBE_EXIT": hex(code)})
            assert got == code
    else:
        for code in (0, 1, 7, 255):
            assert flavour.run(package, env={"SXE_PROBE_EXIT": str(code)}).returncode == code
    assert sxe.tree(package.parent) == [package.name]


def test_command_line_reaches_the_program_unchanged(win32, tmp_path):
    package = probe_package(win32, tmp_path)
    target = '"' + sxe.wine_path(package.parent / "probe.exe") + '"'
    me = sxe.wine_path(package)
    report = tmp_path / "r.txt"
    cases = [
        (f'"{me}"', target + " "),
        (f'"{me}" a b', target + "  a b"),
        (f'{me} a\t"b  c" "" \xe9t\xe9', target + ' ' + ' a\t"b  c" "" \xe9t\xe9'),
        (f'"{me}"\t"x"', target + ' \t"x"'),
    ]
    for launched, child in cases:
        win32.run_literal(launched, cwd=tmp_path, env={"SXE_PROBE_REPORT": str(report)})
        assert sxe.Report(report).cmdline == child.encode("latin-1"), launched


def test_arguments_arrive_byte_for_byte(posix, tmp_path):
    package = probe_package(posix, tmp_path)
    report = tmp_path / "r.txt"
    args = [b"", b"a b", b'"quoted"', b"tab\there", b"\xe9t\xe9", b"-", b"end"]
    result = subprocess.run([str(package), *args], env=dict(os.environ, SXE_PROBE_REPORT=str(report)))
    assert result.returncode == 0
    seen = sxe.Report(report)
    assert seen.args[0] == str(package.parent / "probe").encode()
    assert seen.args[1:] == args


def test_program_runs_in_the_launchers_directory_and_environment(flavour, tmp_path):
    package = probe_package(flavour, tmp_path, plugin=True)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    report = tmp_path / "r.txt"
    result = flavour.run(package, cwd=elsewhere,
                         env={"SXE_PROBE_REPORT": str(report), "SXE_PROBE_ENV": "passed on"})
    assert result.returncode == 0
    seen = sxe.Report(report)
    assert seen.cwd == (sxe.wine_path(elsewhere) if flavour.win32 else str(elsewhere))
    assert seen.env == "passed on"
    # the plug-in file is gone before the start; the manifest file is all that is left
    assert len(seen.temporaries()) == 1
    assert sxe.tree(package.parent) == [package.name]


@pytest.mark.parametrize("entries, probe_env, after", [
    # a\b goes, a stays: it still held a\b when its removal was tried
    (["a\\y", "a\\b\\x"], {}, ["a/"]),
    (["a\\y", "a\\b\\x", "a\\z"], {}, []),
    # a file the program deleted itself is skipped; so is an entry listed twice
    (["d\\x.dat", "d\\w.dat", "d\\x.dat"], {"SXE_PROBE_DELETE": "d/w.dat"}, []),
    # a directory the program wrote into stays, with that file
    (["d\\x.dat"], {"SXE_PROBE_WRITE": "d/own.txt"}, ["d/", "d/own.txt"]),
], ids=["a-stays", "a-goes", "deleted-twice", "own-file"])
def test_clean_up_removes_what_the_run_made(flavour, tmp_path, entries, probe_env, after):
    extra = [(name, name.encode() * 20) for name in entries]
    package = probe_package(flavour, tmp_path, extra=extra)
    elsewhere = tmp_path / "elsewhere"
    elsewhere.mkdir()
    result = flavour.run(package, cwd=elsewhere, env={"SXE_PROBE_EXIT": "2", **probe_env,
                                                      "SXE_PROBE_REPORT": str(tmp_path / "r")})
    assert result.returncode == 2
    assert [n for n in sxe.tree(package.parent) if n != package.name] == after


def test_clean_up_waits_for_a_held_manifest_file(win32, tmp_path):
    package = probe_package(win32, tmp_path)
    report = tmp_path / "r.txt"
    start = time.monotonic()
    result = win32.run(package, env={"SXE_PROBE_HOLD_MS": "1500", "SXE_PROBE_EXIT": "6",
                                     "SXE_PROBE_REPORT": str(report)})
    elapsed = time.monotonic() - start
    assert result.returncode == 6
    assert (tmp_path / "r.txt.ready").read_text() == "held"
    assert 1.3 < elapsed < 9, elapsed
    assert sxe.tree(package.parent) == [package.name]


def test_launch_failures(flavour, tmp_path):
    # no entries: "none" cannot be started in the current directory
    empty = flavour.assemble(flavour.items(tmp_path, [], manifest=b"end\r\n"),
                             (tmp_path / "empty").mkdir() or tmp_path / "empty" / "app")
    result = flavour.run(empty, cwd=tmp_path)
    assert result.returncode == 0
    leftovers = [n for n in sxe.tree(empty.parent) if n != empty.name]
    assert len(leftovers) == 1 and re.match(r"sxe[0-9A-F]+\.tmp", leftovers[0], re.I)

    # a first entry that is no program: the last entry extracted is deleted, the rest stays
    for extra, stays in (([], []), ([("d\\x.dat", b"x" * 40)], ["notes.txt", "d/"])):
        pkg = tmp_path / f"bad{len(extra)}"
        pkg.mkdir()
        entries = [("notes.txt", b"just some text, no program at all\n" * 3), *extra]
        package = flavour.assemble(flavour.items(tmp_path, entries), pkg / ("app" + flavour.exe))
        sxe.assert_failed(flavour, flavour.run(package))
        left = [n for n in sxe.tree(pkg) if n != package.name]
        assert sorted(n for n in left if not n.startswith("sxe")) == sorted(stays)


def wait_started(report):
    for _ in range(500):
        if report.exists() and "started" in report.read_text():
            return
        time.sleep(0.01)
    raise AssertionError("the probe did not start")


@pytest.mark.parametrize("how", ["term-to-launcher", "interrupt-to-group"])
def test_signals_reach_the_program_and_the_launcher_cleans_up(posix, tmp_path, how):
    package = probe_package(posix, tmp_path)
    report = tmp_path / "r.txt"
    env = dict(os.environ, SXE_PROBE_REPORT=str(report), SXE_PROBE_SLEEP_MS="20000")
    launcher = subprocess.Popen([str(package)], env=env, start_new_session=True)
    wait_started(report)
    if how == "term-to-launcher":
        launcher.send_signal(signal.SIGTERM)
        expected = 128 + signal.SIGTERM
    else:
        os.killpg(launcher.pid, signal.SIGINT)
        expected = 128 + signal.SIGINT
    assert launcher.wait(timeout=10) == expected
    assert "slept" not in report.read_text()
    assert sxe.tree(package.parent) == [package.name]


def test_two_runs_at_once_take_turns(flavour, tmp_path):
    """Runs of one package share its directory, so the second waits for the first to end: its
    program never meets half-written or vanishing files, and nothing is left afterwards."""
    data = os.urandom(200000)
    package = probe_package(flavour, tmp_path, extra=[("d\\data.bin", data)])
    env = dict(os.environ, **(sxe.WINE_ENV if flavour.win32 else {}), SXE_PROBE_SLEEP_MS="1500")
    command = (["wine"] if flavour.win32 else []) + [str(package)]
    runs = []
    for k in range(2):
        report = tmp_path / f"r{k}.txt"
        runs.append((subprocess.Popen(command, env=dict(env, SXE_PROBE_REPORT=str(report),
                                                        SXE_PROBE_EXIT=str(10 + k)),
                                      stdin=subprocess.DEVNULL), report))
        if k == 0:
            wait_started(report)
    codes = [p.wait(timeout=60) for p, _ in runs]
    assert codes == [10, 11]
    first, second = (sxe.Report(r) for _, r in runs)
    for seen in (first, second):
        assert seen.files["d/data.bin"] == sxe.crc_entry(data)
        assert "slept" in seen.lines
    assert sxe.tree(package.parent) == [package.name]
