"""The shared conformance cases through the Python module: the load gives the tool's faults and
dump, and a keyword constructor given the document PyYAML reads faults at the same places."""

import json
import pathlib

import pytest

from tarnwick_config.config_vpc_migration import (
    DiscoveryConfiguration,
    ValidationError,
    _BaseModel,
    build_document,
    dump_to_dict,
)

CONFORMANCE = pathlib.Path(__file__).resolve().parents[3] / "shared" / "conformance"
CASES = json.loads((CONFORMANCE / "index.json").read_text()) if CONFORMANCE.is_dir() else []


def loaded(case):
    yaml = pytest.importorskip("yaml")
    with open(CONFORMANCE / case["file"]) as f:
        try:
            return yaml.load(f, Loader=yaml.FullLoader)
        except yaml.YAMLError:
            return None  # malformed: nothing to build


def outcome(build, *args):
    """(0, dump) or (1, [(loc, msg)]) as the tool reports them."""
    try:
        config = build(*args)
    except ValidationError as error:
        return 1, [(list(e["loc"]), e["msg"]) for e in error.errors()]
    return 0, dump_to_dict(config)


@pytest.mark.parametrize("case", CASES, ids=[c["name"] for c in CASES])
def test_case(case, monkeypatch):
    expected = json.loads((CONFORMANCE / "expected" / f"{case['name']}.json").read_text())["dump"]
    document = loaded(case)
    if not isinstance(document, dict) or expected["exit"] not in (0, 1):
        pytest.skip("no mapping to build")
    want = expected["stdout"] if expected["exit"] == 0 else \
        [(e["loc"], e["msg"]) for e in expected["stdout"]]
    assert outcome(build_document, document, case["discovery_only"]) == (expected["exit"], want)

    monkeypatch.setattr(_BaseModel, "discovery_only", case["discovery_only"])
    assert outcome(lambda: DiscoveryConfiguration(**document)) == (expected["exit"], want)


@pytest.mark.parametrize("case", CASES, ids=[c["name"] for c in CASES])
def test_case_as_pydantic_reports_it(case, monkeypatch):
    """errors() is what pydantic itself reports for the record as a field of a host's model."""
    pydantic = pytest.importorskip("pydantic")
    document = loaded(case)
    if not isinstance(document, dict):
        pytest.skip("no mapping to build")
    monkeypatch.setattr(_BaseModel, "discovery_only", case["discovery_only"])
    try:
        DiscoveryConfiguration(**document)
    except ValidationError as error:
        own = error.errors()
    else:
        pytest.skip("valid")
    assert all(set(e) <= {"loc", "msg", "type", "ctx"} for e in own)

    class Host(pydantic.BaseModel):
        cfg: DiscoveryConfiguration

    with pytest.raises(pydantic.ValidationError) as hosted:
        Host(cfg=document)
    assert hosted.value.errors() == [dict(e, loc=("cfg",) + e["loc"]) for e in own]

