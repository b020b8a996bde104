"""Helpers for the end-to-end tests: the built programs, packages made from raw items, and
runs of the launcher natively and under wine, with what the probe program reports."""

import os
import pathlib
import re
import shutil
import subprocess
import zlib

BUILD = pathlib.Path(os.environ.get("SXE_BUILD", "build")).resolve()
WIN32 = pathlib.Path(os.environ.get("SXE_WIN32_BUILD", BUILD / "win32")).resolve()
SOURCE = pathlib.Path(os.environ.get("SXE_SOURCE", pathlib.Path(__file__).parents[2])).resolve()
STAGE = BUILD / "stage"
SXE_PACK = STAGE / "bin" / "sxe-pack"
ERROR_TEXT = ("An error has occured while executing this program. "
              "Free up harddrive space and try again.")

WINE_ENV = {"WINEDEBUG": "-all", "WINEARCH": "win32"}


def have_wine():
    return shutil.which("wine") is not None and (WIN32 / "sxe-launcher.exe").exists()


def zlib9(data):
    return zlib.compress(data, 9)


def szdd(data, tmp):
    """SZDD of data: made by mscompress (another program) where it is reliable (16 bytes or
    more), else by the project's encoder."""
    src = tmp / "szdd-in"
    src.write_bytes(data)
    if len(data) >= 16 and shutil.which("mscompress"):
        subprocess.run(["mscompress", str(src)], check=True, capture_output=True)
        out = pathlib.Path(str(src) + "_")
    else:
        out = tmp / "szdd-out"
        subprocess.run([str(BUILD / "tests" / "szdd_tool"), "compress", str(src), str(out)],
                       check=True)
    packed = out.read_bytes()
    out.unlink()
    src.unlink()
    return packed


class Flavour:
    """One flavour of the launcher and how to run it."""

    def __init__(self, name):
        self.name = name
        self.win32 = name == "win32"
        lib = STAGE / "lib" / "sxe" / name
        self.stub = lib / ("sxe-launcher.exe" if self.win32 else "sxe-launcher")
        self.plugin = lib / ("inflate.dll" if self.win32 else "inflate.so")
        tests = (WIN32 if self.win32 else BUILD) / "tests"
        self.probe = tests / ("probe.exe" if self.win32 else "probe")
        self.no_export = tests / ("no_export_plugin.dll" if self.win32 else "no_export_plugin.so")
        self.exe = ".exe" if self.win32 else ""
        self.sep = "\\" if self.win32 else "/"

    def assemble(self, items, out, stub=None):
        """A package of raw items {id: bytes} written by sxe-pack assemble."""
        args = [str(SXE_PACK), "assemble", "--target", self.name, "-o", str(out)]
        if stub is not None:
            args += ["--stub", str(stub)]
        for item_id, data in sorted(items.items()):
            f = out.parent / f".item-{out.name}-{item_id}"
            f.write_bytes(data)
            args.append(f"{item_id}={f}")
        subprocess.run(args, check=True)
        for item_id in items:
            (out.parent / f".item-{out.name}-{item_id}").unlink()
        return out

    def items(self, tmp, entries, plugin=True, manifest=None):
        """Items of a package: entries is a list of (name, bytes); the manifest lists them with
        CR LF line ends and "end" unless given."""
        if manifest is None:
            manifest = b"".join(name.encode() + b"\r\n" for name, _ in entries) + b"end\r\n"
        encode = zlib9 if plugin else (lambda d: szdd(d, tmp))
        items = {2: encode(manifest)}
        if plugin:
            items[1] = szdd(self.plugin.read_bytes(), tmp)
        for k, (_, data) in enumerate(entries):
            items[3 + k] = encode(data)
        return items

    def run(self, package, args=(), env=None, cwd=None, timeout=60):
        """Runs the launcher; returns the CompletedProcess (wine: exit code cut to 8 bits)."""
        full_env = dict(os.environ)
        full_env.update(env or {})
        if self.win32:
            full_env.update(WINE_ENV)
            command = ["wine", str(package), *args]
        else:
            command = [str(package), *args]
        return subprocess.run(command, env=full_env, cwd=cwd, capture_output=True,
                              timeout=timeout, stdin=subprocess.DEVNULL)

    def run_literal(self, command_line, env=None, cwd=None, timeout=60):
        """win32: starts a literal command line from a Windows parent; returns the child's full
        32-bit exit code."""
        assert self.win32
        tmp = pathlib.Path(cwd or "/tmp")
        cmd_file = tmp / ".parent-command"
        code_file = tmp / ".parent-code"
        cmd_file.write_bytes(command_line.encode("latin-1"))
        full_env = dict(os.environ)
        full_env.update(WINE_ENV)
        full_env.update(env or {})
        subprocess.run(["wine", str(WIN32 / "tests" / "parent.exe"), str(cmd_file),
                        str(code_file)], env=full_env, cwd=cwd, check=True, timeout=timeout,
                       capture_output=True, stdin=subprocess.DEVNULL)
        code = int(code_file.read_text().strip(), 16)
        cmd_file.unlink()
        code_file.unlink()
        return code


def wine_path(path):
    """The Windows name wine gives a Linux path."""
    return "Z:" + str(path).replace("/", "\\")


def tree(directory):
    """Every file and directory below directory, as relative names with '/'."""
    directory = pathlib.Path(directory)
    return sorted(str(p.relative_to(directory)) + ("/" if p.is_dir() else "")
                  for p in directory.rglob("*"))


def leftovers(names):
    """names sorted, the launcher's temporary files (random names) each as "sxe*.tmp"."""
    return sorted(re.sub(r"^sxe[0-9A-Fa-f]+\.tmp$", "sxe*.tmp", n) for n in names)


def assert_failed(flavour, result, where=None):
    """The run failed as the launcher reports it: exit code 0 and the error box (on posix its
    text on standard error)."""
    assert result.returncode == 0, (where, result.returncode)
    if not flavour.win32:
        assert ERROR_TEXT in result.stderr.decode(), where


class Report:
    """What the probe program saw."""

    def __init__(self, path):
        self.args = []
        self.cmdline = None
        self.files = {}
        self.dirs = []
        self.lines = pathlib.Path(path).read_text(errors="replace").splitlines()
        for line in self.lines:
            key, _, value = line.partition("=")
            if key == "arg":
                self.args.append(bytes.fromhex(value))
            elif key == "cmdline":
                self.cmdline = bytes.fromhex(value)
            elif key == "file":
                name, size, crc = value.rsplit(" ", 2)
                self.files[name] = (int(size), int(crc, 16))
            elif key == "dir":
                self.dirs.append(value)
            elif key in ("cwd", "env", "self"):
                setattr(self, key, value)

    def temporaries(self):
        return sorted(n for n in self.files if "/" not in n and n.lower().startswith("sxe")
                      and n.lower().endswith(".tmp"))


def crc_entry(data):
    return (len(data), zlib.crc32(data) & 0xFFFFFFFF)
