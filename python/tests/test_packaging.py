"""The build backend's answers that a frontend acts on before anything is compiled."""
import pathlib
import sys

import pytest
from conftest import packaging_module

ROOT = pathlib.Path(__file__).resolve().parents[2]


@pytest.fixture
def backend():
    return packaging_module("cmake_wheel")


@pytest.mark.parametrize("version, refused", [((3, 8, 18), True), ((3, 9, 0), False),
                                              ((3, 13, 1), False)])
def test_an_unsupported_interpreter_is_refused_before_the_build(backend, monkeypatch, tmp_path,
                                                                version, refused):
    monkeypatch.setattr(sys, "version_info", version)
    hooks = (backend.get_requires_for_build_wheel,
             lambda: backend.prepare_metadata_for_build_wheel(str(tmp_path)),
             lambda: backend.build_wheel(str(tmp_path), {"build-dir": "/nonexistent"}))
    if not refused:
        assert hooks[0]() == [] and hooks[1]().endswith(".dist-info")
        return
    for hook in hooks:
        with pytest.raises(RuntimeError, match=r"needs CPython 3\.9 or later; this is 3\.8$"):
            hook()


def test_metadata_states_the_floor_and_carries_the_readme(backend, tmp_path):
    dist_info = backend.prepare_metadata_for_build_wheel(str(tmp_path))
    metadata = (tmp_path / dist_info / "METADATA").read_text(encoding="utf-8")
    headers, _, body = metadata.partition("\n\n")
    assert "Requires-Python: >=3.9" in headers.splitlines()
    assert "Description-Content-Type: text/markdown" in headers.splitlines()
    assert body == (ROOT / "README.md").read_text(encoding="utf-8")
    assert dist_info == f"tarnwick_config-{backend._version()}.dist-info"


@pytest.mark.parametrize("left, configures", [([], True), (["CMakeCache.txt"], True),
                                              (["CMakeCache.txt", "Makefile"], False)])
def test_a_build_tree_is_configured_until_it_has_a_build_system(backend, monkeypatch, tmp_path,
                                                                 left, configures):
    # A configure that failed leaves its cache behind; building on it would fail with no reason.
    for name in left:
        (tmp_path / name).write_text("")
    ran = []
    monkeypatch.setattr(backend, "_run", ran.append)
    backend._build({"build-dir": str(tmp_path)})
    assert [c[1] == "-S" for c in ran] == [True, False] if configures else [False]
