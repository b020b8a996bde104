"""Real faults: a disk that fills up, a read-only or symlinked package directory, an entry
held by another process, damaged packages. Nothing crashes, nothing outside the package
directory changes, and what is left is what the failed step leaves."""

import os
import re
import shutil
import subprocess
import time

import pytest

import sxe

PAGE = 4096


def pages(size):
    return (size + PAGE - 1) // PAGE


@pytest.mark.parametrize("where", ["plug-in", "manifest", "first entry", "last entry"])
def test_disk_fills_up(flavour, tmp_path, tmpfs, where):
    probe = flavour.probe.read_bytes()
    big = bytes(1 << 20)   # one MiB of zeros: small in the package, large on disk
    plugin = where != "manifest"
    if where == "first entry":
        entries = [("big.bin", big), ("probe" + flavour.exe, probe)]
    else:
        entries = [("probe" + flavour.exe, probe), ("d\\x.dat", b"x" * 5000), ("d\\big.bin", big)]
    items = flavour.items(tmp_path, entries, plugin=plugin)
    built = flavour.assemble(items, tmp_path / ("app" + flavour.exe))
    # Room for what comes before the failing write, with the LZ codec's scratch copies where
    # LZ32 needs them, and half of the failing entry.
    before = 0
    if where.endswith("entry"):
        # the plug-in, the LZ codec's scratch copy of it, and the manifest
        before = pages(flavour.plugin.stat().st_size) + pages(len(items[1])) + 1
    if where == "last entry":
        before += pages(len(probe)) + pages(5000)
    fs = tmpfs(PAGE // 1024 * (pages(built.stat().st_size) + before +
                               (pages(len(big)) // 2 if before else 0)))
    package = fs / built.name
    shutil.copy(built, package)
    outside = sorted(os.listdir(tmp_path))
    result = flavour.run(package)
    sxe.assert_failed(flavour, result)
    left = sxe.leftovers(n for n in sxe.tree(fs) if n != package.name)
    expected = {"plug-in": ["sxe*.tmp"], "manifest": ["sxe*.tmp"], "first entry": ["sxe*.tmp"],
                "last entry": ["d/", "d/x.dat", "probe" + flavour.exe, "sxe*.tmp"]}[where]
    assert left == expected
    assert sorted(os.listdir(tmp_path)) == outside


def test_read_only_package_directory(flavour, tmp_path, tmpfs):
    built = flavour.assemble(flavour.items(tmp_path, [("probe" + flavour.exe,
                                                       flavour.probe.read_bytes())]),
                             tmp_path / ("app" + flavour.exe))
    fs = tmpfs(PAGE // 1024 * (pages(built.stat().st_size) + 64))
    shutil.copy(built, fs / built.name)
    subprocess.run(["mount", "-o", "remount,ro", str(fs)], check=True)
    sxe.assert_failed(flavour, flavour.run(fs / built.name))
    assert os.listdir(fs) == [built.name]


def test_package_directory_behind_a_symlink(flavour, tmp_path):
    real = tmp_path / "real"
    real.mkdir()
    built = flavour.assemble(flavour.items(tmp_path, [("probe" + flavour.exe,
                                                       flavour.probe.read_bytes()),
                                                      ("d\\x", b"x" * 100)]),
                             real / ("app" + flavour.exe))
    (tmp_path / "link").symlink_to(real)
    result = flavour.run(tmp_path / "link" / built.name, env={"SXE_PROBE_EXIT": "8"})
    assert result.returncode == 8
    assert sxe.tree(real) == [built.name]
    assert (tmp_path / "link").is_symlink()


def test_entry_held_by_another_process(flavour, tmp_path):
    """The file an entry is to replace is in use (posix: a running program; Windows: open
    without sharing): its extraction fails, and the file in use stays as it was."""
    pkg = tmp_path / "pkg"
    pkg.mkdir()
    probe = flavour.probe.read_bytes()
    package = flavour.assemble(flavour.items(tmp_path, [("probe" + flavour.exe, probe)]),
                               pkg / ("app" + flavour.exe))
    held = pkg / ("probe" + flavour.exe)
    shutil.copy(flavour.probe, held)
    report = tmp_path / "holder.txt"
    env = dict(os.environ, SXE_PROBE_REPORT=str(report), SXE_PROBE_SLEEP_MS="3000")
    if flavour.win32:
        ready = tmp_path / "ready"
        holder = subprocess.Popen(["wine", str(flavour.probe), "--hold", sxe.wine_path(held),
                                   "3000", sxe.wine_path(ready)],
                                  env=dict(env, **sxe.WINE_ENV), stdin=subprocess.DEVNULL)
        for _ in range(500):
            if ready.exists():
                break
            time.sleep(0.01)
        assert ready.read_text() == "held"
    else:
        holder = subprocess.Popen([str(held)], env=env)
        for _ in range(500):
            if report.exists() and "started" in report.read_text():
                break
            time.sleep(0.01)
    try:
        sxe.assert_failed(flavour, flavour.run(package))
        assert held.read_bytes() == probe
        assert sxe.leftovers(n for n in sxe.tree(pkg) if n != package.name) == sorted(
            ["probe" + flavour.exe, "sxe*.tmp"])
    finally:
        holder.wait(timeout=30)


def damaged(items):
    """Every item truncated, with a byte flipped, and swapped with the next one."""
    ids = sorted(items)
    for k in ids:
        data = items[k]
        yield f"item {k} truncated", {**items, k: data[: len(data) // 2]}
        flipped = bytearray(data)
        if flipped:
            flipped[len(flipped) // 2] ^= 0x10
        yield f"item {k} bit-flipped", {**items, k: bytes(flipped)}
    for a, b in zip(ids, ids[1:]):
        yield f"items {a} and {b} swapped", {**items, a: items[b], b: items[a]}


@pytest.mark.parametrize("plugin", [True, False], ids=["inflate", "lz"])
def test_damaged_packages_never_crash(flavour, tmp_path, plugin):
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), ("d\\a.txt", b"a" * 3000),
               ("d\\b.bin", os.urandom(2000))]
    items = flavour.items(tmp_path, entries, plugin=plugin)
    outcomes = {}
    for name, broken in damaged(items):
        pkg = tmp_path / re.sub(r"\W+", "-", name)
        pkg.mkdir()
        package = flavour.assemble(broken, pkg / ("app" + flavour.exe))
        result = flavour.run(package, env={"SXE_PROBE_EXIT": "7"}, timeout=60)
        # exit code 0 with the error box, or the program ran (damage that SZDD, which has no
        # check value, cannot see, or items swapped with their like). Native code stored as
        # SZDD and damaged unseen may fail in its own way: the program (item 3 of a package
        # without the plug-in), whose code is passed on, and the plug-in (item 1), which runs
        # inside the launcher and can end it there.
        if name == "item 1 bit-flipped" and plugin and result.returncode not in (0, 7):
            continue
        assert result.returncode >= 0, (name, "the launcher was killed", result.returncode)
        if result.returncode not in (0, 7):
            assert not plugin and name == "item 3 bit-flipped", (name, result.returncode)
            assert sxe.tree(pkg) == [package.name], name
            continue
        if result.returncode == 0 and not flavour.win32:
            assert sxe.ERROR_TEXT in result.stderr.decode(), name
        if result.returncode == 7:
            assert sxe.tree(pkg) == [package.name], name
        outcomes[name] = result.returncode
    # zlib items carry a check value: damage to them never goes unnoticed
    if plugin:
        for name, code in outcomes.items():
            if re.match(r"item ([2-9]|\d\d) (truncated|bit-flipped)", name):
                assert code == 0, name
