"""Every system call of a run failed in turn, in a test build of the launcher: the run ends
normally and in bounded time, with exit code 0 and the error box or with the program's own
code, and leaves exactly what the step that failed leaves: no more, no less."""

import shutil

import pytest

import sxe

PROGRAM_EXIT = 7
# Calls whose failure a run outlives: closing, cleaning up, the calls whose results the run
# takes as they come, and (in a package without the plug-in) the look-up of item 1, which
# finds nothing either way.
TOLERATED = {"SysCloseFile", "SysCreateDirectory", "SysDeleteFile", "SysMakeExecutable",
             "SysFreeLibrary", "SysSleep", "SysRemoveDirectory", "SysCloseProcess",
             "SysGetCommandLine", "SysLzClose", "SysMapOwnImage", "SysFindResource",
             "SysLockPackage"}


def fault_stub(flavour):
    stub = (sxe.WIN32 if flavour.win32 else sxe.BUILD) / ("sxe-launcher-faults" + flavour.exe)
    if not stub.exists():
        pytest.skip("no fault build")
    return stub


def build(flavour, tmp_path, plugin):
    entries = [("probe" + flavour.exe, flavour.probe.read_bytes()), ("top.txt", b"t" * 50),
               ("d\\x.dat", b"x" * 3000), ("d\\e\\y.dat", b"y" * 40), ("d\\z.dat", b"z" * 99)]
    items = flavour.items(tmp_path, entries, plugin=plugin)
    package = flavour.assemble(items, tmp_path / ("fault-package" + flavour.exe),
                               stub=fault_stub(flavour))
    return package, [n for n, _ in entries]


def trace(flavour, package, run_dir, tmp_path):
    path = tmp_path / "trace.txt"
    result = run(flavour, package, run_dir, tmp_path,
                 {"SXE_FAIL_TRACE": sxe.wine_path(path) if flavour.win32 else str(path)})
    assert result.returncode == PROGRAM_EXIT, result.stderr
    return path.read_text().split()


def run(flavour, package, run_dir, tmp_path, env):
    for p in run_dir.iterdir():   # a fresh package directory for every run
        if p.name != package.name:
            shutil.rmtree(p) if p.is_dir() else p.unlink()
    report = tmp_path / "report.txt"
    if report.exists():
        report.unlink()
    return flavour.run(run_dir / package.name, timeout=60,
                       env={"SXE_PROBE_EXIT": str(PROGRAM_EXIT), "SXE_PROBE_REPORT": str(report),
                            **env})


# The call each look-up of a package item makes, and the call of the LZ codec that makes an
# entry's file.
LOOKUP = {"posix": "SysMapOwnImage", "win32": "SysFindResource"}
CREATOR = {"posix": "SysCreateForWrite", "win32": "SysLzCreate"}


class Steps:
    """Where the steps of a run begin in its trace of calls (numbered from 1)."""

    def __init__(self, calls, plugin, flavour, order):
        def first_of(names, after=0):
            return next(i for i in range(after, len(calls)) if calls[i] in names) + 1

        def first(name, after=0):
            return first_of({name}, after)
        self.calls = calls
        self.plugin = plugin
        self.order = order
        self.plugin_file = first("SysGetTempFileName") if plugin else None
        self.loaded = first("SysLoadLibrary") if plugin else 0
        self.manifest_file = first("SysGetTempFileName", self.loaded)
        self.manifest_read = first("SysReadFile", self.manifest_file) + 1
        # items are looked up in order: the plug-in, the manifest, then entry k as item 3 + k
        self.lookups = [i + 1 for i, c in enumerate(calls) if c == LOOKUP[flavour]]
        self.creator = CREATOR[flavour]
        assert len(self.lookups) == 2 + len(order), calls
        # the entry's codec starts after its look-up and the making of its directory
        self.codec_after = [at + 1 if calls[at] == "SysCreateDirectory" else at
                            for at in self.lookups[2:]]
        # the launch step releases the plug-in, builds the command line, then starts
        self.launch_start = first_of({"SysFreeLibrary", "SysGetCommandLine",
                                      "SysMakeExecutable", "SysStartProcess"},
                                     self.lookups[-1])

    def entries_left(self, n, mode):
        """How many entries a run may leave when call n fails (every call from n on, in mode
        "after"): those extracted before the failing one, and that one too when its file was
        made before the failure (a partial file stays). A failed launch deletes the last
        entry extracted; a call whose failure the run outlives can make the launch fail later
        (a program file left open cannot be started)."""
        last = len(self.order)
        if n >= self.launch_start:
            return {last} if mode == "after" else {last - 1}
        k = sum(1 for at in self.lookups if at <= n) - 3
        start = self.codec_after[k]
        if self.plugin:
            # the plug-in's own calls are not in the trace: its output is made once the
            # codec starts, or when the failed call made a directory that is there already
            made = n > start or (n == start and self.calls[n - 1] == "SysCreateDirectory" and
                                 self.directory_made_before(k))
        else:
            made = self.creator in self.calls[start:n - 1]
        left = {k + 1 if made else k}
        if mode == "one" and self.calls[n - 1] in TOLERATED:
            left.add(last - 1)
        return left

    def directory_made_before(self, k):
        directory = self.order[k].rsplit("/", 1)[0] + "/"
        return any(directory in directories_of(e) for e in self.order[:k])


def check_failure_leftovers(steps, n, left, order, where, mode):
    """The leftovers of a failed run, as the step that failed leaves them. When every call
    from the failed one on fails too, releasing fails as well: the plug-in file and the LZ
    codec's scratch copy can stay beside what the step leaves."""
    temporaries = left.count("sxe*.tmp")
    files = [x for x in left if not x.endswith("/") and x != "sxe*.tmp"]
    if mode == "after":
        assert temporaries <= 3, (where, left)
        # the manifest's closing may fail: it is read by then
        counts = steps.entries_left(n, mode) if n > steps.manifest_read else {0}
        assert len(files) in counts, (where, f"{counts} entries", left)
        assert sorted(files) == sorted(order[:len(files)]), (where, "entries in order", left)
        return
    if where.endswith(("(SysCloseFile)", "(SysDeleteFile)")) and temporaries == 2:
        # a handle left open keeps the LZ codec's scratch copy from going
        left = list(left)
        left.remove("sxe*.tmp")
        temporaries = 1
    if steps.plugin_file and steps.plugin_file < n <= steps.loaded:
        assert left == ["sxe*.tmp"], (where, "the plug-in file stays", left)
    elif steps.plugin_file and steps.loaded < n <= steps.manifest_file:
        assert left == [], (where, "the plug-in is released, nothing else made", left)
    elif steps.manifest_file < n <= steps.manifest_read:
        assert left == ["sxe*.tmp"], (where, "the manifest file stays", left)
    elif n > steps.manifest_read:
        # the manifest file and the entries extracted so far, in order, without gaps (the
        # failing entry's partial output among them), and their directories
        assert temporaries == 1, (where, left)
        counts = steps.entries_left(n, mode)
        assert len(files) in counts, (where, f"{counts} entries", left)
        j = len(files)
        assert sorted(files) == sorted(order[:j]), (where, "entries in order", left)
        made = {d for name in order[:j + 1] for d in directories_of(name)}
        assert {x for x in left if x.endswith("/")} <= made, (where, left)
    else:
        # before any file is made, or the look-up of the plug-in failed and the package
        # was taken as one without it
        assert temporaries <= 1 and not files, (where, left)


def directories_of(name):
    parts = name.split("/")[:-1]
    return {"/".join(parts[:k]) + "/" for k in range(1, len(parts) + 1)}


@pytest.mark.parametrize("plugin", [True, False], ids=["inflate", "lz"])
def test_every_call_failed_in_turn(flavour, tmp_path, plugin):
    package, names = build(flavour, tmp_path, plugin)
    run_dir = tmp_path / "run"
    run_dir.mkdir()
    shutil.copy(package, run_dir / package.name)
    calls = trace(flavour, package, run_dir, tmp_path)
    assert "SysStartProcess" in calls
    start = calls.index("SysStartProcess") + 1
    order = [n.replace("\\", "/") for n in names]
    steps = Steps(calls, plugin, flavour.name, order)
    waited = calls.index("SysWaitProcess") + 1
    exit_read = calls.index("SysGetExitCode") + 1
    entries = {n.replace("\\", "/") for n in names}
    directories = {"d/", "d/e/"}
    checked = 0
    for mode in ("one", "after"):
        for n in range(1, len(calls) + 1):
            env = {"SXE_FAIL_CALL": str(n)}
            if mode == "after":
                env["SXE_FAIL_MODE"] = "after"
            result = run(flavour, package, run_dir, tmp_path, env)
            failed = calls[n - 1]
            where = f"{mode} call {n} ({failed})"
            code = result.returncode
            ran = (tmp_path / "report.txt").exists()
            left = sxe.leftovers(x for x in sxe.tree(run_dir) if x != package.name)
            others = sorted(p.name for p in tmp_path.iterdir())
            assert set(others) <= {"run", "report.txt", "trace.txt", package.name} | {
                p.name for p in tmp_path.glob(".*")}, where
            allowed = entries | directories | {"sxe*.tmp"}
            assert set(left) <= allowed, (where, left)
            if code == 0:
                # extraction or the start failed: the error box, and the program never ran
                assert not ran, where
                check_failure_leftovers(steps, n, left, order, where, mode)
                if not flavour.win32 and mode == "one" and failed != "SysShowErrorBox":
                    assert sxe.ERROR_TEXT in result.stderr.decode(), where
            elif failed == "SysWaitProcess" or (mode == "after" and start < n <= waited):
                # the wait itself failed: the exit code cannot be known
                assert code not in (0, PROGRAM_EXIT), (where, code)
            else:
                assert ran, where
                unread = failed == "SysGetExitCode" or (mode == "after" and n <= exit_read)
                expected = 1 if unread else PROGRAM_EXIT
                assert code == expected, (where, code)
                if mode == "one":
                    # a call whose result the run does not need, or one of the clean-up:
                    # at most the one thing it was to remove stays
                    assert n > start or failed in TOLERATED, where
                    assert len([x for x in left if not x.endswith("/")]) <= 1, (where, left)
            checked += 1
    # the figures of the matrix, for the test command to print after the run
    figures = sxe.BUILD / "fault-matrix"
    figures.mkdir(exist_ok=True)
    package_kind = f"{flavour.name} {'inflate' if plugin else 'lz'}"
    (figures / (package_kind.replace(" ", "-") + ".txt")).write_text(
        f"fault matrix, {package_kind}: {len(calls)} calls failed in turn, in both modes: "
        f"{checked} runs checked\n")


def test_release_build_has_no_fault_hook(flavour, tmp_path):
    data = flavour.stub.read_bytes()
    assert b"SXE_FAIL" not in data
    pkg = tmp_path / "pkg"
    pkg.mkdir()
    package = flavour.assemble(flavour.items(tmp_path, [("probe" + flavour.exe,
                                                         flavour.probe.read_bytes())]),
                               pkg / ("app" + flavour.exe))
    result = flavour.run(package, env={"SXE_FAIL_CALL": "1", "SXE_FAIL_MODE": "after",
                                       "SXE_PROBE_EXIT": "4"})
    assert result.returncode == 4
