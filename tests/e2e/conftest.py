"""Fixtures of the end-to-end tests."""

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
