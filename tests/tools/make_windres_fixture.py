#!/usr/bin/python3
"""Writes the items and resource script of a package made without sxe-pack: SZDD items by
mscompress, resources by windres at link time. Its layout: the program at the top level, seven
data files in one subdirectory, then "end" and one empty line, every line ending in CR LF.

Usage: make_windres_fixture.py OUT-DIR PROGRAM
"""

import pathlib
import subprocess
import sys

out = pathlib.Path(sys.argv[1])
program = pathlib.Path(sys.argv[2])
out.mkdir(parents=True, exist_ok=True)
files = [("probe.exe", program.read_bytes())]
for k in range(1, 8):
    # deterministic content of several kinds, each of at least 16 bytes
    data = (b"data file %d: " % k) * (k * 37) + bytes((k * i) & 0xFF for i in range(k * 500))
    files.append((f"data\\file{k}.dat", data))
manifest = b"".join(name.encode() + b"\r\n" for name, _ in files) + b"end\r\n\r\n"
items = [("manifest.txt", manifest)] + [(f"item{k}.bin", d) for k, (_, d) in enumerate(files)]
lines = ["LANGUAGE 0, 0"]
for item_id, (name, data) in enumerate(items, start=2):
    raw = out / name
    raw.write_bytes(data)
    packed = out / (name + "_")
    packed.unlink(missing_ok=True)   # mscompress will not replace a file
    subprocess.run(["mscompress", str(raw)], check=True, capture_output=True)
    lines.append(f'{item_id} 99 "{packed}"')
(out / "expected.txt").write_text("".join(f"{name}\n" for name, _ in files))
(out / "fixture.rc").write_text("\n".join(lines) + "\n")
