"""Which library the package loads: the one named by BRXSDK_LIBRARY, else
the one its install put beside it, else the dynamic loader's."""

import os

from brxsdk import _installed, _native


def test_the_variable_names_the_library_over_everything(monkeypatch):
    monkeypatch.setenv("BRXSDK_LIBRARY", "/elsewhere/libbrxsdk.so.1")
    monkeypatch.setattr(_installed, "LIBRARY", "../libbrxsdk.so.1")
    assert _native.library_path() == "/elsewhere/libbrxsdk.so.1"


def test_the_installed_library_beside_the_package_else_the_loaders(monkeypatch, tmp_path):
    monkeypatch.delenv("BRXSDK_LIBRARY", raising=False)
    package = os.path.dirname(os.path.abspath(_native.__file__))
    beside = os.path.relpath(tmp_path / "lib" / "libbrxsdk.so.1", package)
    monkeypatch.setattr(_installed, "LIBRARY", beside)
    assert _native.library_path() == "libbrxsdk.so.1"  # not there: moved or removed
    (tmp_path / "lib").mkdir()
    (tmp_path / "lib" / "libbrxsdk.so.1").write_bytes(b"")
    assert _native.library_path() == str(tmp_path / "lib" / "libbrxsdk.so.1")
    monkeypatch.setattr(_installed, "LIBRARY", None)
    assert _native.library_path() == "libbrxsdk.so.1"
