#!/usr/bin/python3
"""sxe side by side with what users would pick instead, on this machine, in one run.

Makes two payloads from files on the machine (SMALL: a trivial program and seven 4 KiB files;
LARGE: the program and seven files of about 64 MiB in all, mixed real content), packs them
with sxe and with the peers, and times each case as a whole process: extract, run the program,
clean up. Runs are interleaved; the table gives medians (min-max) and peak memory, and ratios
against the limit (inflating the same streams in one process) and against tar.

Writes BUILD/bench/results.md and BUILD/bench/results.png.
Usage: bench.py [--build BUILD] [--runs N] [--quick]
"""

import argparse
import gzip
import os
import pathlib
import shutil
import statistics
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parents[1]

SOURCES = [  # (name, globs): each LARGE file is filled from one kind of content
    ("libraries.bin", ["/usr/lib/x86_64-linux-gnu/*.so*"]),
    ("programs.bin", ["/usr/bin/*"]),
    ("headers.txt", ["/usr/include/**/*.h"]),
    ("python.txt", ["/usr/lib/python3*/**/*.py"]),
    ("compressed.gz", ["/usr/share/doc/**/*.gz", "/usr/share/man/**/*.gz"]),
    ("licenses.txt", ["/usr/share/common-licenses/*", "/usr/share/doc/**/copyright"]),
    ("locale.bin", ["/usr/share/locale/**/*.mo", "/usr/lib/x86_64-linux-gnu/**/*.a"]),
]


def collect(globs, size):
    out = bytearray()
    for pattern in globs:
        for path in sorted(pathlib.Path("/").glob(pattern.lstrip("/"))):
            if len(out) >= size:
                return bytes(out[:size])
            try:
                if path.is_file() and not path.is_symlink():
                    out += path.read_bytes()[: size - len(out)]
            except OSError:
                pass
    return bytes(out)


def make_payloads(work, build):
    payloads = {}
    for name, per_file in (("SMALL", 4096), ("LARGE", (64 << 20) // 7)):
        d = work / name / "src"
        (d / "data").mkdir(parents=True, exist_ok=True)
        shutil.copy(build / "bench" / "noop", d / "noop")
        shutil.copy(build / "win32" / "bench" / "noop.exe", d / "noop.exe")
        for file_name, globs in SOURCES:
            (d / "data" / file_name).write_bytes(collect(globs, per_file))
        payloads[name] = d
    return payloads


def payload_files(src, program):
    return [program] + sorted(str(p.relative_to(src)) for p in (src / "data").iterdir())


class Case:
    def __init__(self, label, command, cwd, env=None, group="posix", mapped=0):
        self.label, self.command, self.cwd, self.env = label, command, cwd, env
        self.group, self.mapped = group, mapped
        self.times, self.memory = [], []

    def run_once(self):
        env = dict(os.environ, **(self.env or {}))
        start = time.perf_counter()
        status = subprocess.run(self.command, cwd=self.cwd, env=env, stdin=subprocess.DEVNULL,
                                stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode
        self.times.append(time.perf_counter() - start)
        if status != 0:
            raise SystemExit(f"bench: {self.label} failed: {self.command}")

    def measure_memory(self):
        """Peak resident size, from a run of its own under /usr/bin/time (a process forked
        from this large one would count this one's pages)."""
        out = pathlib.Path(self.cwd) / ".maxrss"
        subprocess.run(["/usr/bin/time", "-f", "%M", "-o", str(out), *self.command],
                       cwd=self.cwd, env=dict(os.environ, **(self.env or {})),
                       stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                       stderr=subprocess.DEVNULL, check=True)
        self.memory.append(int(out.read_text().split()[-1]) * 1024)
        out.unlink()

    def median(self):
        return statistics.median(self.times)


def run_cases(cases, runs):
    for case in cases:   # one warm-up each, which also measures memory
        case.measure_memory()
    for _ in range(runs):
        for case in cases:
            case.run_once()


def timed(command, cwd=None):
    start = time.perf_counter()
    subprocess.run(command, cwd=cwd, check=True, stdout=subprocess.DEVNULL)
    return time.perf_counter() - start


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", default=str(ROOT / "build"))
    parser.add_argument("--runs", type=int, default=0)
    parser.add_argument("--quick", action="store_true", help="fewer runs")
    args = parser.parse_args()
    build = pathlib.Path(args.build).resolve()
    sxe_pack = build / "stage" / "bin" / "sxe-pack"
    work = build / "bench" / "work"
    shutil.rmtree(work, ignore_errors=True)
    work.mkdir(parents=True)
    payloads = make_payloads(work, build)
    wine_env = {"WINEPREFIX": str(build / "wine" / "prefix"), "WINEDEBUG": "-all",
                "WINEARCH": "win32"}
    os.environ.pop("TMPDIR", None)

    cases = {"SMALL": [], "LARGE": []}
    packing = []
    for name, src in payloads.items():
        base = src.parent
        files = payload_files(src, "noop")
        raw = sum((src / f).stat().st_size for f in files)
        run_dir = base / "run"
        run_dir.mkdir()
        # sxe, both codecs, both targets
        for codec in ("inflate", "lz"):
            out = run_dir / f"sxe-{codec}"
            t = timed([str(sxe_pack), "create", "--target", "posix", "--codec", codec, "-C",
                       str(src), "-o", str(out), "noop", "data"])
            packing.append((name, f"sxe-pack posix --codec {codec}", t, out.stat().st_size, raw))
        out = run_dir / "sxe-win32.exe"
        t = timed([str(sxe_pack), "create", "-C", str(src), "-o", str(out), "noop.exe", "data"])
        packing.append((name, "sxe-pack win32 --codec inflate", t, out.stat().st_size, raw))
        # peers' packing
        if shutil.which("mscompress"):
            mdir = base / "ms"
            shutil.copytree(src, mdir)
            t = timed(["sh", "-c", "mscompress noop data/*"], cwd=mdir)
            size = sum(p.stat().st_size for p in mdir.rglob("*_"))
            packing.append((name, "mscompress (SZDD)", t, size, raw))
            shutil.rmtree(mdir)
        start = time.perf_counter()
        gz = sum(len(gzip.compress((src / f).read_bytes(), 9)) for f in files)
        packing.append((name, "gzip -9 (in process)", time.perf_counter() - start, gz, raw))
        subprocess.run(["tar", "czf", str(run_dir / "payload.tgz"), "-C", str(src), "noop",
                        "data"], check=True)
        makeself = run_dir / "makeself.run"
        subprocess.run(["makeself", "--nox11", "--quiet", "--gzip", str(src), str(makeself),
                        "bench", "./noop"], check=True, capture_output=True)
        sfx = shutil.which("7z") and pathlib.Path("/usr/lib/p7zip/7zCon.sfx")
        if sfx and sfx.exists():
            subprocess.run(["7z", "a", "-bd", "-sfx/usr/lib/p7zip/7zCon.sfx",
                            str(run_dir / "payload-7z.sfx"), "noop", "data"], cwd=src,
                           check=True, capture_output=True)
            (run_dir / "payload-7z.sfx").chmod(0o755)
        nsis = run_dir / "nsis.exe"
        if shutil.which("makensis"):
            script = base / "package.nsi"
            lines = ['SilentInstall silent', 'RequestExecutionLevel user', 'SetCompressor zlib',
                     f'OutFile "{nsis}"', 'Section', '  SetOutPath "$EXEDIR"',
                     f'  File "{src / "noop.exe"}"', '  SetOutPath "$EXEDIR\\data"']
            lines += [f'  File "{p}"' for p in sorted((src / "data").iterdir())]
            lines += ['  ExecWait \'"$EXEDIR\\noop.exe"\' $0', '  Delete "$EXEDIR\\noop.exe"']
            lines += [f'  Delete "$EXEDIR\\data\\{p.name}"' for p in sorted((src / "data").iterdir())]
            lines += ['  RMDir "$EXEDIR\\data"', '  SetErrorLevel $0', 'SectionEnd']
            script.write_text("\n".join(lines) + "\n")
            subprocess.run(["makensis", "-V1", str(script)], check=True, capture_output=True)

        pkg = run_dir / "sxe-inflate"
        c = cases[name]
        c.append(Case("limit (inflate in one process)", [str(build / "bench" / "limit"), str(pkg)],
                      run_dir))
        c.append(Case("sxe posix --codec inflate", [str(pkg)], run_dir,
                      mapped=pkg.stat().st_size))
        c.append(Case("sxe posix --codec lz", [str(run_dir / "sxe-lz")], run_dir,
                      mapped=(run_dir / "sxe-lz").stat().st_size))
        c.append(Case("tar xzf + run + rm", ["sh", "-c", "mkdir d && tar xzf payload.tgz -C d "
                                             "&& d/noop && rm -rf d"], run_dir))
        c.append(Case("makeself (gzip)", [str(makeself)], run_dir, env={"TMPDIR": str(run_dir)}))
        if (run_dir / "payload-7z.sfx").exists():
            c.append(Case("7-Zip console SFX", ["sh", "-c", "./payload-7z.sfx -y -od >/dev/null "
                                                "&& d/noop && rm -rf d"], run_dir))
        if shutil.which("wine"):
            c.append(Case("wine: trivial exe", ["wine", str(src / "noop.exe")], run_dir,
                          env=wine_env, group="wine"))
            c.append(Case("wine: sxe win32", ["wine", str(run_dir / "sxe-win32.exe")], run_dir,
                          env=wine_env, group="wine"))
            if nsis.exists():
                c.append(Case("wine: NSIS silent package", ["wine", str(nsis)], run_dir,
                              env=wine_env, group="wine"))

    if shutil.which("wine"):
        subprocess.run(["bash", str(ROOT / "tests" / "wine_prefix.sh"), "start"],
                       env=dict(os.environ, **wine_env), check=True)
    try:
        for name in ("SMALL", "LARGE"):
            print(f"bench: timing {name}", file=sys.stderr)
            runs = args.runs or ((5 if args.quick else 15) if name == "LARGE" else
                                 (10 if args.quick else 40))
            run_cases(cases[name], runs)
    finally:
        if shutil.which("wine"):
            subprocess.run(["bash", str(ROOT / "tests" / "wine_prefix.sh"), "stop"],
                           env=dict(os.environ, **wine_env))
    report(build, cases, packing)


def ms(seconds):
    return f"{seconds * 1000:.1f}"


def report(build, cases, packing):
    lines = [f"Measured on {os.uname().nodename}: {os.cpu_count()} cores, "
             f"{os.sysconf('SC_PAGE_SIZE') * os.sysconf('SC_PHYS_PAGES') >> 30} GiB, "
             f"{time.strftime('%Y-%m-%d')}. Times are medians of interleaved runs, whole "
             "processes (extract, run the program, clean up); memory is the peak resident "
             "size of the largest process of a case (for sxe: the launcher, its mapped "
             "package included). The win32 payload's program is a trivial GUI program, as "
             "a GUI launcher's usually is (a console one makes wine start a console host for "
             "it, about 30 ms more for every case that starts it).", ""]
    for name, group in cases.items():
        limit = next(c for c in group if c.label.startswith("limit")).median()
        tar = next(c for c in group if c.label.startswith("tar")).median()
        wine_base = [c for c in group if c.label == "wine: NSIS silent package"]
        lines += [f"### {name}", "",
                  "| case | median ms (min-max) | peak memory MiB | x limit | x tar | x NSIS |",
                  "|---|---|---|---|---|---|"]
        for c in group:
            mem = max(c.memory) / (1 << 20)
            extra = f" ({(max(c.memory) - c.mapped) / (1 << 20):.1f} beyond the package)" \
                if c.mapped else ""
            vs_nsis = f"{c.median() / wine_base[0].median():.2f}" if wine_base and \
                c.group == "wine" else ""
            lines.append(f"| {c.label} | {ms(c.median())} ({ms(min(c.times))}-{ms(max(c.times))})"
                         f" | {mem:.1f}{extra} | {c.median() / limit:.2f} | "
                         f"{c.median() / tar:.2f} | {vs_nsis} |")
        lines.append("")
    lines += ["### Packing", "", "| payload | tool | seconds | output bytes | of input |",
              "|---|---|---|---|---|"]
    for name, tool, seconds, size, raw in packing:
        lines.append(f"| {name} | {tool} | {seconds:.2f} | {size:,} | {100 * size / raw:.1f}% |")
    text = "\n".join(lines) + "\n"
    out = build / "bench"
    (out / "results.md").write_text(text)
    print(text)
    try:
        import matplotlib
        matplotlib.use("Agg")
        import matplotlib.pyplot as plt
        fig, axes = plt.subplots(1, 2, figsize=(13, 5))
        for ax, (name, group) in zip(axes, cases.items()):
            labels = [c.label for c in group]
            ax.barh(labels, [c.median() * 1000 for c in group],
                    xerr=[[1000 * (c.median() - min(c.times)) for c in group],
                          [1000 * (max(c.times) - c.median()) for c in group]],
                    color=["#3a7" if "sxe" in l else "#999" for l in labels])
            ax.invert_yaxis()
            ax.set_title(f"{name}: extract + run + clean up")
            ax.set_xlabel("milliseconds (median, min-max)")
        fig.tight_layout()
        fig.savefig(out / "results.png", dpi=90)
        print(f"plot: {out / 'results.png'}")
    except ImportError:
        print("bench: no matplotlib, no plot", file=sys.stderr)


if __name__ == "__main__":
    main()
