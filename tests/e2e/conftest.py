"""Fixtures of the end-to-end tests."""

import subprocess

import pytest

import sxe

FLAVOURS = ["posix", "win32"]


def pytest_generate_tests(metafunc):
    if "flavour" in metafunc.fixturenames:
        metafunc.parametrize("flavour", FLAVOURS, indirect=True)


@pytest.fixture
def flavour(request):
    if request.param == "win32" and not sxe.have_wine():
        pytest.skip("no wine or no win32 build")
    return sxe.Flavour(request.param)


@pytest.fixture
def win32():
    if not sxe.have_wine():
        pytest.skip("no wine or no win32 build")
    return sxe.Flavour("win32")


@pytest.fixture
def posix():
    return sxe.Flavour("posix")


@pytest.fixture
def tmpfs(tmp_path):
    """Mounts real small file systems (tmpfs; needs root): tmpfs(kib, options) gives a
    directory, unmounted when the test ends."""
    mounts = []

    def mount(kib, options=""):
        where = tmp_path / f"fs{len(mounts)}"
        where.mkdir()
        opts = f"size={kib}k" + (f",{options}" if options else "")
        if subprocess.run(["mount", "-t", "tmpfs", "-o", opts, "tmpfs", str(where)],
                          capture_output=True).returncode != 0:
            pytest.skip("cannot mount a tmpfs here")
        mounts.append(where)
        return where
    yield mount
    for where in mounts:
        subprocess.run(["umount", "-l", str(where)])
