"""sxe-pack as a user meets it: packages for both targets that run, list, verify and extract;
refusals; deterministic output; PE output that other readers accept; SZDD that other programs
expand."""

import os
import pathlib
import shutil
import subprocess
import zlib

import pytest

import sxe


def pack(*args, cwd=None, check=True):
    done = subprocess.run([str(sxe.SXE_PACK), *map(str, args)], capture_output=True, text=True,
                          cwd=cwd)
    if check:
        assert done.returncode == 0, done.stderr
    return done


def source_tree(flavour, root):
    """A program with a data directory two levels deep."""
    src = root / "src"
    (src / "data" / "maps").mkdir(parents=True)
    shutil.copy(flavour.probe, src / ("probe" + flavour.exe))
    (src / "data" / "readme.txt").write_bytes(b"read me\r\n" * 100)
    (src / "data" / "table.bin").write_bytes(os.urandom(20000))
    (src / "data" / "maps" / "level1.dat").write_bytes(b"level one " * 3000)
    (src / "data" / "maps" / "level2.dat").write_bytes(b"")
    return src


def files_below(directory):
    return {str(p.relative_to(directory)): p.read_bytes()
            for p in sorted(pathlib.Path(directory).rglob("*")) if p.is_file()}


@pytest.mark.parametrize("codec", ["inflate", "lz"])
def test_packages_run_list_verify_and_extract(flavour, tmp_path, codec):
    src = source_tree(flavour, tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    package = out / ("app" + flavour.exe)
    pack("create", "--target", flavour.name, "--codec", codec, "-C", src, "-o", package,
         "probe" + flavour.exe, "data")
    report = tmp_path / "r.txt"
    result = flavour.run(package, env={"SXE_PROBE_REPORT": str(report), "SXE_PROBE_EXIT": "12"})
    assert result.returncode == 12, result.stderr
    seen = sxe.Report(report)
    expected = files_below(src)
    for name, data in expected.items():
        assert seen.files[name] == sxe.crc_entry(data), name
    assert sxe.tree(out) == [package.name]

    listing = pack("list", package).stdout
    assert f"{flavour.name} package, codec {codec}, 5 entries" in listing
    assert ("data" + flavour.sep + "maps" + flavour.sep + "level1.dat") in listing
    assert "ok, 5 entries" in pack("verify", package).stdout
    pack("extract", package, tmp_path / "x")
    assert files_below(tmp_path / "x") == expected


def test_output_is_deterministic(flavour, tmp_path):
    src = source_tree(flavour, tmp_path)
    a, b = tmp_path / "a", tmp_path / "b"
    for out in (a, b):
        pack("create", "--target", flavour.name, "-C", src, "-o", out, "probe" + flavour.exe,
             "data")
    assert a.read_bytes() == b.read_bytes()


def test_refusals_leave_no_output(tmp_path):
    src = tmp_path / "src"
    (src / "up" / "deep").mkdir(parents=True)
    (src / "up" / "deep" / "x").write_text("x")
    for name in ("app", "end", "line\rbreak"):
        (src / name).write_text("content")
    (src / ("n" * 200)).mkdir()
    (src / ("n" * 200) / ("m" * 60)).write_text("long")
    many = []
    for i in range(60):
        (src / f"file-with-a-longish-name-{i}").write_text("x")
        many.append(f"file-with-a-longish-name-{i}")
    cases = [
        (["app", "end"], "end: a file named end would read as the manifest's end marker"),
        (["app", "/etc/hostname"], "/etc/hostname: absolute path"),
        (["app", "../src/app"], "../src/app: climbs out of the package directory"),
        (["app", "missing"], "missing: no such file"),
        (["app", "up"], "up: holds no file directly"),
        (["app", "line\rbreak"], "entry names cannot hold line ends"),
        (["app", "n" * 200], "a manifest line holds 255"),
        (["app", *many], "manifest: needs"),
        (["--stub", "/bin/sh", "app"], "/bin/sh: not an sxe launcher"),
    ]
    if sxe.have_wine():
        cases.append((["--stub", sxe.Flavour("win32").probe, "--target", "win32", "app"],
                      "not a 32-bit Windows GUI executable"))
    for args, message in cases:
        out = tmp_path / "out"
        done = pack("create", "--target", "posix", "-C", src, "-o", out, *args, check=False)
        assert done.returncode == 1, args
        assert message in done.stderr, (args, done.stderr)
        assert len(done.stderr.strip().splitlines()) == 1, done.stderr
        assert not out.exists() and not list(tmp_path.glob("out*")), args


def test_warns_of_a_directory_that_remains(tmp_path, posix):
    src = tmp_path / "src"
    (src / "a" / "b").mkdir(parents=True)
    shutil.copy(posix.probe, src / "probe")
    (src / "a" / "only").write_text("1")
    (src / "a" / "b" / "x").write_text("2")
    (tmp_path / "out").mkdir()
    done = pack("create", "--target", "posix", "-C", src, "-o", tmp_path / "out" / "app",
                "probe", "a")
    assert done.returncode == 0
    assert "warning: a: directory will remain after the run" in done.stderr
    posix.run(tmp_path / "out" / "app")
    assert sxe.tree(tmp_path / "out") == ["a/", "app"]


def test_win32_output_satisfies_other_pe_readers(win32, tmp_path):
    pefile = pytest.importorskip("pefile")
    src = source_tree(win32, tmp_path)
    package = tmp_path / "app.exe"
    pack("create", "-C", src, "-o", package, "probe.exe", "data")
    pe = pefile.PE(str(package))
    assert pe.OPTIONAL_HEADER.CheckSum == pe.generate_checksum()
    types = {t.id: t for t in pe.DIRECTORY_ENTRY_RESOURCE.entries}
    assert 24 in types, "the stub's application manifest must stay"
    ids = [e.id for e in types[99].directory.entries]
    assert ids == list(range(1, 8))
    for entry in types[99].directory.entries:
        (language,) = entry.directory.entries
        assert language.id == 0
        data = language.data.struct
        by_pefile = pe.get_data(data.OffsetToData, data.Size)
        by_wrestool = subprocess.run(
            ["wrestool", "-x", "--raw", "--type=99", f"--name={entry.id}", "--language=0",
             str(package)], capture_output=True, check=True).stdout
        assert by_wrestool == by_pefile, entry.id
        if entry.id == 1:
            expanded = subprocess.run(["msexpand"], input=by_pefile, capture_output=True,
                                      check=True).stdout
            assert expanded == win32.plugin.read_bytes()
        else:
            assert by_pefile[:2] == b"\x78\xda"
            zlib.decompress(by_pefile)
    assert (src / "probe.exe").read_bytes() == zlib.decompress(
        pe.get_data(types[99].directory.entries[2].directory.entries[0].data.struct.OffsetToData,
                    types[99].directory.entries[2].directory.entries[0].data.struct.Size))


ICON_RC = """
1 ICON "app.ico"
1 VERSIONINFO
FILEVERSION 1,2,3,4
BEGIN
  BLOCK "StringFileInfo"
  BEGIN
    BLOCK "040904b0"
    BEGIN
      VALUE "ProductName", "Iconic"
      VALUE "FileVersion", "1.2.3.4"
    END
  END
  BLOCK "VarFileInfo"
  BEGIN
    VALUE "Translation", 0x409, 1200
  END
END
"""


def tiny_icon():
    """A 16x16 32-bit icon file."""
    size = 16
    pixels = b"\x00\x80\xff\xff" * size * size
    mask = b"\x00" * (4 * size)
    bitmap = (40).to_bytes(4, "little") + size.to_bytes(4, "little") + (2 * size).to_bytes(
        4, "little") + (1).to_bytes(2, "little") + (32).to_bytes(2, "little") + bytes(24)
    image = bitmap + pixels + mask
    header = bytes([0, 0, 1, 0, 1, 0])
    entry = bytes([size, size, 0, 0, 1, 0, 32, 0]) + len(image).to_bytes(4, "little") + (
        22).to_bytes(4, "little")
    return header + entry + image


def test_win32_package_takes_the_programs_icon_and_version(win32, tmp_path):
    pefile = pytest.importorskip("pefile")
    if not shutil.which("i686-w64-mingw32-windres"):
        pytest.skip("no windres")
    (tmp_path / "app.ico").write_bytes(tiny_icon())
    (tmp_path / "app.rc").write_text(ICON_RC)
    (tmp_path / "main.c").write_text("int main(void) { return 21; }\n")
    subprocess.run(["i686-w64-mingw32-windres", "app.rc", "-O", "coff", "-o", "app.res.o"],
                   cwd=tmp_path, check=True)
    subprocess.run(["i686-w64-mingw32-gcc", "-o", "iconic.exe", "main.c", "app.res.o"],
                   cwd=tmp_path, check=True)

    def resources(path):
        pe = pefile.PE(str(path))
        return {t.id: {e.id: pe.get_data(e.directory.entries[0].data.struct.OffsetToData,
                                          e.directory.entries[0].data.struct.Size)
                       for e in t.directory.entries}
                for t in pe.DIRECTORY_ENTRY_RESOURCE.entries}

    original = resources(tmp_path / "iconic.exe")
    (tmp_path / "out").mkdir()
    package = tmp_path / "out" / "iconic-pkg.exe"
    pack("create", "-C", tmp_path, "-o", package, "iconic.exe")
    got = resources(package)
    for kind in (3, 14, 16):
        assert got[kind] == original[kind], kind
    assert win32.run(package).returncode == 21
    pack("create", "--no-icon", "-C", tmp_path, "-o", package, "iconic.exe")
    assert not {3, 14, 16} & set(resources(package))


SZDD_INPUTS = {
    "one-byte": b"x",
    "fifteen": b"fifteen bytes!!",
    "text": b"".join(b"line %d of some text, repeated words words words\n" % i
                     for i in range(3000)),
    "random": os.urandom(50000),
    "zeros": bytes(70000),
    "ring-edge": (b"abcdefghijklmnop" * 300 + os.urandom(4096)) * 3,
}


def test_szdd_encoder_output_expands_identically_elsewhere(tmp_path):
    tool = sxe.BUILD / "tests" / "szdd_tool"
    mspack = sxe.BUILD / "tests" / "mspack_expand"
    for name, data in SZDD_INPUTS.items():
        raw, packed = tmp_path / name, tmp_path / (name + ".szdd")
        raw.write_bytes(data)
        subprocess.run([str(tool), "compress", str(raw), str(packed)], check=True)
        blob = packed.read_bytes()
        assert subprocess.run(["msexpand"], input=blob, capture_output=True,
                              check=True).stdout == data, name
        subprocess.run([str(mspack), str(packed), str(tmp_path / "m")], check=True)
        assert (tmp_path / "m").read_bytes() == data, name
        test = subprocess.run(["7zz", "t", str(packed)], capture_output=True, text=True)
        assert test.returncode == 0 and "Everything is Ok" in test.stdout, name
        assert subprocess.run(["7zz", "e", "-so", str(packed)], capture_output=True,
                              check=True).stdout == data, name


def test_szdd_decoder_reads_what_mscompress_writes(tmp_path):
    tool = sxe.BUILD / "tests" / "szdd_tool"
    for name, data in SZDD_INPUTS.items():
        if len(data) < 16:
            continue   # mscompress corrupts such short inputs itself
        raw = tmp_path / name
        raw.write_bytes(data)
        subprocess.run(["mscompress", str(raw)], check=True, capture_output=True)
        subprocess.run([str(tool), "expand", str(raw) + "_", str(tmp_path / "e")], check=True)
        assert (tmp_path / "e").read_bytes() == data, name
        ours = tmp_path / "ours"
        subprocess.run([str(tool), "compress", str(raw), str(ours)], check=True)
        assert ours.stat().st_size <= pathlib.Path(str(raw) + "_").stat().st_size, name


def test_sxe_pack_runs_on_windows(win32, tmp_path):
    src = source_tree(win32, tmp_path)
    out = tmp_path / "out"
    out.mkdir()
    exe = sxe.STAGE / "bin" / "sxe-pack.exe"
    env = dict(os.environ, **sxe.WINE_ENV)
    for target in ("win32", "posix"):
        package = out / f"app-{target}"
        program = "probe.exe" if target == "win32" else "data/readme.txt"
        done = subprocess.run(["wine", str(exe), "create", "--target", target, "-C",
                               sxe.wine_path(src), "-o", sxe.wine_path(package), program,
                               "data"], env=env, capture_output=True, text=True, timeout=120)
        assert done.returncode == 0, done.stderr
        assert "ok, " in pack("verify", package).stdout
    done = subprocess.run(["wine", str(exe), "list", sxe.wine_path(out / "app-win32")], env=env,
                          capture_output=True, text=True, timeout=60)
    assert "win32 package, codec inflate, 5 entries" in done.stdout


def test_signed_stub_loses_its_certificate_with_a_warning(win32, tmp_path):
    pefile = pytest.importorskip("pefile")
    stub = bytearray(win32.stub.read_bytes())
    pe = pefile.PE(data=bytes(stub))
    certificate = (24).to_bytes(4, "little") + (0x0200).to_bytes(2, "little") + \
        (2).to_bytes(2, "little") + b"not a real signature"[:16]
    directory = pe.OPTIONAL_HEADER.DATA_DIRECTORY[4]
    offset = directory.get_file_offset()
    stub[offset:offset + 8] = len(stub).to_bytes(4, "little") + len(certificate).to_bytes(4, "little")
    stub += certificate
    signed = tmp_path / "signed-stub.exe"
    signed.write_bytes(bytes(stub))
    src = source_tree(win32, tmp_path)
    package = tmp_path / "out.exe"
    done = pack("create", "--stub", signed, "--plugin", win32.plugin, "-C", src, "-o", package,
                "probe.exe")
    assert "signature was dropped" in done.stderr
    out = pefile.PE(str(package))
    assert out.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size == 0
    assert out.OPTIONAL_HEADER.CheckSum == out.generate_checksum()
    assert b"not a real" not in package.read_bytes()
    assert win32.run(package, env={"SXE_PROBE_EXIT": "3"}).returncode == 3


def test_warns_when_names_leave_little_room_for_the_install_directory(tmp_path):
    src = tmp_path / "src"
    src.mkdir()
    shutil.copy(sxe.Flavour("posix").probe, src / "probe")
    long_name = "x" * 220
    (src / long_name).write_text("x")
    done = pack("create", "--target", "posix", "-C", src, "-o", tmp_path / "out", "probe",
                long_name)
    assert "fails to run from a directory of more than 39 characters" in done.stderr
