"""The inflate plug-in as built: what it imports and exports, its size, and a full disk."""

import os
import pathlib
import shutil
import subprocess

import pytest

import sxe

KERNEL32_CALLS = {"CreateFileA", "LocalAlloc", "WriteFile", "LocalFree", "CloseHandle",
                  "DeleteFileA"}


def test_inflate_dll_imports_six_kernel32_calls_and_exports_one_routine(win32):
    pefile = pytest.importorskip("pefile")
    dll = win32.plugin
    pe = pefile.PE(str(dll))
    imports = {entry.dll.decode().upper(): {i.name.decode() for i in entry.imports}
               for entry in pe.DIRECTORY_ENTRY_IMPORT}
    assert imports == {"KERNEL32.DLL": KERNEL32_CALLS}
    exports = pe.DIRECTORY_ENTRY_EXPORT
    assert pe.get_string_at_rva(exports.struct.Name) == b"inflate.dll"
    assert [(s.ordinal, s.name) for s in exports.symbols] == [(1, b"DllInflate")]
    assert pe.FILE_HEADER.Machine == 0x14C and pe.is_dll()
    size = dll.stat().st_size
    print(f"inflate.dll: {size} bytes")
    assert size < 40 * 1024


def test_inflate_so_exports_only_its_codec():
    so = sxe.Flavour("posix").plugin
    symbols = subprocess.run(["nm", "-D", "--defined-only", str(so)], capture_output=True,
                             text=True, check=True).stdout.split()
    functions = {symbols[i + 2] for i in range(0, len(symbols) - 2, 3) if symbols[i + 1] == "T"}
    assert functions == {"DllInflate"}


def test_plugin_on_a_full_disk_fails_and_leaves_no_file(flavour, tmpfs):
    small_disk = tmpfs(64)
    unit = (sxe.WIN32 if flavour.win32 else sxe.BUILD) / "tests" / ("sxe_unit_tests" + flavour.exe)
    env = dict(os.environ, SXE_INFLATE_MODULE=str(flavour.plugin),
               SXE_SMALL_DISK=sxe.wine_path(small_disk) if flavour.win32 else str(small_disk),
               **(sxe.WINE_ENV if flavour.win32 else {}))
    command = (["wine"] if flavour.win32 else []) + [str(unit), "--gtest_filter=Plugin.DiskFull*"]
    done = subprocess.run(command, env=env, capture_output=True, text=True, timeout=120)
    assert done.returncode == 0, done.stdout
    assert "[  PASSED  ] 1 test" in done.stdout and "SKIPPED" not in done.stdout


def test_package_on_a_full_disk_fails_cleanly(flavour, tmpfs, tmp_path):
    """An entry that does not fit: exit code 0, the error box, and the failing entry's output
    gone; what was extracted before it stays."""
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), ("d\\small", b"s" * 100),
               ("d\\big", bytes(4 << 20))]
    built = flavour.assemble(flavour.items(tmp_path, entries), tmp_path / ("app" + flavour.exe))
    room = built.stat().st_size + 2 * len(entries[0][1]) + (64 << 10)
    small_disk = tmpfs(room // 1024)
    package = pathlib.Path(shutil.copy(built, small_disk / built.name))
    sxe.assert_failed(flavour, flavour.run(package))
    left = sorted(n for n in sxe.tree(small_disk) if not n.lower().startswith("sxe"))
    assert left == sorted([package.name, "probe" + flavour.exe, "d/", "d/small"])
