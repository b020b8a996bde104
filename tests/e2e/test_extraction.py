"""The launcher expands its package next to itself; every failure ends with exit code 0, the
error box, and exactly the leftovers that the failed step leaves."""

import os
import pathlib
import re
import shutil
import subprocess

import pytest

import sxe

DATA = [os.urandom(3000) + b"text " * 500, b"", b"0123456789abcdef" * 4096, b"tiny file 16+ b.",
        bytes(range(256)) * 40, b"\r\n" * 5000, os.urandom(70000)]


def shape_entries(flavour):
    """A program at the top level, then seven data files in one subdirectory."""
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes())]
    entries += [(f"data\\file{k + 1}.dat", d) for k, d in enumerate(DATA)]
    return entries


def shape_manifest(entries):
    # every line ends in CR LF; the end marker is followed by one empty line
    return b"".join(n.encode() + b"\r\n" for n, _ in entries) + b"end\r\n\r\n"


def package_dir(tmp_path, name="pkg"):
    d = tmp_path / name
    d.mkdir()
    return d


@pytest.mark.parametrize("plugin", [True, False], ids=["inflate", "lz"])
def test_shape_package_expands_byte_exact(flavour, tmp_path, plugin):
    pkg = package_dir(tmp_path)
    entries = shape_entries(flavour)
    items = flavour.items(tmp_path, entries, plugin=plugin, manifest=shape_manifest(entries))
    items[len(entries) + 3] = b"never read: not even a valid item"
    package = flavour.assemble(items, pkg / ("app" + flavour.exe))
    report = tmp_path / "report.txt"
    result = flavour.run(package, env={"SXE_PROBE_REPORT": str(report), "SXE_PROBE_EXIT": "3"})
    assert result.returncode == 3, result.stderr
    seen = sxe.Report(report)
    for name, data in entries:
        assert seen.files[name.replace("\\", "/")] == sxe.crc_entry(data), name
    # only the manifest file is left of the temporaries: the plug-in file is gone
    assert len(seen.temporaries()) == 1
    assert sxe.tree(pkg) == [package.name]


def failure_cases(flavour, tmp):
    """(name, items, leftovers) for every failure row that a package can produce."""
    probe = flavour.probe.read_bytes()
    plugin = sxe.szdd(flavour.plugin.read_bytes(), tmp)
    z = sxe.zlib9
    good_manifest = z(b"probe" + flavour.exe.encode() + b"\r\nd\\x.dat\r\nend\r\n")
    cases = [
        ("item 1 is no library", {1: sxe.szdd(os.urandom(4000), tmp), 2: good_manifest},
         ["sxe*.tmp"]),
        ("item 1 lacks DllInflate",
         {1: sxe.szdd(flavour.no_export.read_bytes(), tmp), 2: good_manifest}, []),
        ("item 2 missing", {1: plugin, 3: z(probe)}, []),
        ("manifest does not expand", {1: plugin, 2: b"\x78\xda broken", 3: z(probe)}, []),
        # mode B: LZ32 writes nothing, the own decoder refuses it
        ("manifest does not expand (lz)",
         {2: b"SZDD\x88\xf0\x27\x33B\x00\x10\x00\x00\x00broken", 3: sxe.szdd(probe, tmp)},
         ["sxe*.tmp"]),
        ("entry item missing", {1: plugin, 2: good_manifest, 3: z(probe)},
         ["probe" + flavour.exe, "sxe*.tmp"]),
        ("entry does not expand", {1: plugin, 2: good_manifest, 3: z(probe), 4: b"\x78\xdajunk"},
         ["d/", "probe" + flavour.exe, "sxe*.tmp"]),
        ("no end marker", {1: plugin, 2: z(b"probe" + flavour.exe.encode()), 3: z(probe),
                           4: z(b"x")}, ["probe" + flavour.exe, "sxe*.tmp"]),
        ("empty line before the end marker",
         {1: plugin, 2: z(b"probe" + flavour.exe.encode() + b"\r\n\r\nend\r\n"), 3: z(probe),
          4: z(b"x")}, ["probe" + flavour.exe, "sxe*.tmp"]),
        ("two levels without the first", {1: plugin, 2: z(b"a\\b\\x\r\nend\r\n"), 3: z(b"x")},
         ["sxe*.tmp"]),
        ("manifest over 1,024 bytes",
         {1: plugin, 2: z(b"probe\r\n" + b"x" * 1020 + b"\r\nend\r\n"), 3: z(probe)},
         ["sxe*.tmp"]),
        ("line over 255 bytes",
         {1: plugin, 2: z(b"p" * 256 + b"\r\nend\r\n"), 3: z(probe)}, ["sxe*.tmp"]),
        ("no package at all", {}, []),
    ]
    if not flavour.win32:
        # LZ32 copies data without the SZDD signature through unchanged, so only the own
        # decoder can refuse item 1 itself.
        cases.append(("item 1 does not expand", {1: b"not szdd data", 2: good_manifest},
                      ["sxe*.tmp"]))
    return cases


def test_every_failure_leaves_what_it_should(flavour, tmp_path):
    for name, items, expected in failure_cases(flavour, tmp_path):
        pkg = tmp_path / re.sub(r"\W+", "-", name)
        pkg.mkdir()
        package = (flavour.assemble(items, pkg / ("app" + flavour.exe)) if items else
                   shutil.copy(flavour.stub, pkg / ("app" + flavour.exe)))
        result = flavour.run(package)
        sxe.assert_failed(flavour, result, name)
        assert sxe.leftovers(n for n in sxe.tree(pkg) if n != package.name) == sorted(
            expected), name


def test_existing_directory_and_file_are_reused(flavour, tmp_path):
    pkg = package_dir(tmp_path)
    (pkg / "d").mkdir()
    (pkg / "d" / "x.dat").write_bytes(b"old content, much longer than the new one" * 100)
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), ("d\\x.dat", b"new")]
    package = flavour.assemble(flavour.items(tmp_path, entries), pkg / ("app" + flavour.exe))
    report = tmp_path / "r.txt"
    assert flavour.run(package, env={"SXE_PROBE_REPORT": str(report)}).returncode == 0
    assert sxe.Report(report).files["d/x.dat"] == sxe.crc_entry(b"new")


def deep_dir(tmp_path, length):
    """A directory whose full path as the launcher sees it has exactly length characters."""
    base = str(tmp_path)
    prefix = len(sxe.wine_path(base)) - len(base)
    need = length - prefix - len(base) - 1   # one separator before the last component
    parts = []
    while need > 0:
        chunk = min(need - 1, 50) if need > 51 else need - 1
        if chunk <= 0:
            break
        parts.append("d" * chunk)
        need -= chunk + 1
    path = tmp_path.joinpath(*parts) if parts else tmp_path
    path.mkdir(parents=True, exist_ok=True)
    return path


def test_deep_package_directory_works(flavour, tmp_path):
    # 150 characters: beyond what LZ32 opens by name
    pkg = tmp_path / ("p" * 40) / ("q" * 40) / ("r" * 40)
    pkg.mkdir(parents=True)
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), ("d\\x.dat", b"y" * 100)]
    for plugin in (True, False):
        package = flavour.assemble(flavour.items(tmp_path, entries, plugin=plugin),
                                   pkg / ("app" + flavour.exe))
        result = flavour.run(package, env={"SXE_PROBE_EXIT": "5"})
        assert result.returncode == 5, result.stderr
        assert sxe.tree(pkg) == [package.name]


def test_path_limits_hold_from_both_sides(flavour, tmp_path):
    """The output path holds 259 characters and the launch target 255."""
    pkg = package_dir(tmp_path)
    directory = len(sxe.wine_path(pkg) if flavour.win32 else str(pkg)) + 1
    probe = flavour.probe.read_bytes()
    for limit, make in ((259, lambda n: [("probe" + flavour.exe, probe), ("x" * n, b"data")]),
                        (255, lambda n: [("p" * (n - 4) + flavour.exe if flavour.win32 else
                                          "p" * n, probe)])):
        for length, ok in ((limit - directory, True), (limit - directory + 1, False)):
            package = flavour.assemble(flavour.items(tmp_path, make(length)),
                                       pkg / ("app" + flavour.exe))
            result = flavour.run(package, env={"SXE_PROBE_EXIT": "9"})
            assert result.returncode == (9 if ok else 0), (limit, length, result.stderr)
            for p in pkg.iterdir():
                if p.name != package.name:
                    p.unlink()


def test_launcher_loads_lz32_only_from_the_system(win32, tmp_path):
    """A planted lz32.dll next to the launcher is never loaded, even when wine is told to
    prefer such files; an ordinary import of LZ32 would load it."""
    pkg = package_dir(tmp_path)
    shutil.copy(sxe.WIN32 / "tests" / "lz32.dll", pkg / "lz32.dll")
    marker = tmp_path / "planted-loaded"
    env = {"WINEDLLOVERRIDES": "lz32=n,b", "SXE_PLANTED_MARKER": sxe.wine_path(marker)}

    shutil.copy(sxe.WIN32 / "tests" / "lz32_importer.exe", pkg / "importer.exe")
    win32.run(pkg / "importer.exe", env=env)
    assert marker.exists(), "the planted library should catch an ordinary import"
    marker.unlink()
    (pkg / "importer.exe").unlink()

    entries = [("probe.exe", win32.probe.read_bytes()), ("d\\x.dat", b"z" * 64)]
    package = win32.assemble(win32.items(tmp_path, entries, plugin=False), pkg / "app.exe")
    result = win32.run(package, env={**env, "SXE_PROBE_EXIT": "4"})
    assert result.returncode == 4
    assert not marker.exists()
    assert sorted(sxe.tree(pkg)) == ["app.exe", "lz32.dll"]


def test_error_box_shows_the_message(win32, tmp_path):
    """Under a display the error box appears with its caption and text, and OK ends the run."""
    if not shutil.which("xvfb-run"):
        pytest.skip("no xvfb-run")
    prefix = tmp_path / "prefix"
    shutil.copytree(os.environ["WINEPREFIX"], prefix, symlinks=True)
    pkg = package_dir(tmp_path)
    package = win32.assemble({2: b"broken"}, pkg / "app.exe")
    out = tmp_path / "box.txt"
    script = (f'wine "{package}" & launcher=$!; '
              f'wine "{sxe.WIN32 / "tests" / "boxclick.exe"}" "{sxe.wine_path(out)}"; '
              f'clicked=$?; wait $launcher; echo "launcher=$? clicked=$clicked"; '
              f'wineserver -k; wineserver -w')
    env = dict(os.environ, WINEPREFIX=str(prefix), **sxe.WINE_ENV)
    done = subprocess.run(["xvfb-run", "-a", "bash", "-c", script], env=env,
                          capture_output=True, timeout=120, stdin=subprocess.DEVNULL)
    assert b"launcher=0 clicked=0" in done.stdout, done.stdout + done.stderr
    box = dict(line.split("=", 1) for line in out.read_text().splitlines())
    assert box == {"class": "#32770", "caption": "Error", "text": sxe.ERROR_TEXT}


def test_package_made_without_sxe_pack(win32, tmp_path):
    """mscompress-made items in resources linked in by windres: the launcher runs it, and
    sxe-pack reads it as the launcher does."""
    built = sxe.WIN32 / "tests" / "windres_fixture.exe"
    if not built.exists():
        pytest.skip("no windres fixture (mscompress missing at build time)")
    pkg = package_dir(tmp_path)
    package = pathlib.Path(shutil.copy(built, pkg / "app.exe"))
    report = tmp_path / "r.txt"
    result = win32.run(package, env={"SXE_PROBE_REPORT": str(report), "SXE_PROBE_EXIT": "13"})
    assert result.returncode == 13
    seen = sxe.Report(report)
    fixture = sxe.WIN32 / "tests" / "windres-fixture"
    names = (fixture / "expected.txt").read_text().split()
    for k, name in enumerate(names):
        assert seen.files[name.replace("\\", "/")] == sxe.crc_entry(
            (fixture / f"item{k}.bin").read_bytes()), name
    assert sxe.tree(pkg) == [package.name]
    listing = subprocess.run([str(sxe.SXE_PACK), "verify", str(package)], capture_output=True,
                             text=True)
    assert listing.returncode == 0 and "ok, 8 entries" in listing.stdout, listing.stderr
