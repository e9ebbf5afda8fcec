"""The records inside a host's own pydantic 1 models: as field types, with their faults reported
by pydantic as its own, under the field's location."""

import pickle
from typing import List, Optional

import pytest

from tarnwick_config import config_vpc_migration as cvm

pydantic = pytest.importorskip("pydantic")
if not pydantic.VERSION.startswith("1."):
    pydantic = pytest.importorskip("pydantic.v1")


class Plan(pydantic.BaseModel):
    cfg: cvm.DiscoveryConfiguration
    extra_vpcs: List[cvm.VPCConfig] = []
    backup: Optional[cvm.BackupConfig] = None


def test_a_host_model_holds_records(examples, minimal_dict):
    loaded = cvm.load_from_yaml(examples / "full.yaml")
    plan = Plan(cfg=loaded, extra_vpcs=[{"vpc_id": " vpc-9 "}])
    assert plan.cfg == loaded and plan.cfg is not loaded  # copied, as pydantic copies models
    assert plan.extra_vpcs[0].vpc_id == "vpc-9"  # built by the frame: trimmed
    assert Plan(cfg=minimal_dict).cfg.account_info[0].account_id == "310000000001"
    assert Plan.schema()["properties"]["cfg"]["title"] == "DiscoveryConfiguration"


def test_a_records_faults_are_the_host_models_faults(minimal_dict):
    minimal_dict["corvane"]["controller_ip"] = "10.0.0.300"
    minimal_dict["account_info"][0]["regions"][0]["region"] = "US-EAST-1"
    with pytest.raises(cvm.ValidationError) as own:
        cvm.build_document(minimal_dict)
    with pytest.raises(pydantic.ValidationError) as hosted:
        Plan(cfg=minimal_dict, extra_vpcs=[{"vpc_id": "v", "bogus": 1}, 3])
    assert hosted.value.errors() == [dict(e, loc=("cfg",) + e["loc"])
                                     for e in own.value.errors()] + [
        {"loc": ("extra_vpcs", 0, "bogus"), "msg": "extra fields not permitted",
         "type": "value_error.extra"},
        {"loc": ("extra_vpcs", 1), "msg": "value is not a valid dict", "type": "type_error.dict"}]
    # The record's own failure is a pydantic ValidationError too, and pickles whole.
    assert isinstance(own.value, pydantic.ValidationError)
    again = pickle.loads(pickle.dumps(own.value))
    assert (again.errors(), again.positions(), str(again)) == (
        own.value.errors(), own.value.positions(), str(own.value))


def test_errors_print_as_pydantics(minimal_dict):
    minimal_dict["account_info"][0]["regions"][0]["region"] = "mars-1"
    with pytest.raises(cvm.ValidationError) as own:
        cvm.build_document(minimal_dict)

    class Twin(pydantic.BaseModel):  # the same fault made by pydantic itself
        region: cvm.RegionName

    with pytest.raises(pydantic.ValidationError) as theirs:
        Twin(region="mars-1")
    ours, want = own.value.errors()[0], theirs.value.errors()[0]
    assert (ours["type"], ours["ctx"]) == (want["type"], want["ctx"])
    assert str(own.value).splitlines()[2].endswith(str(theirs.value).splitlines()[2][-60:])


def test_the_import_leaves_pyyaml_and_pydantic_for_when_a_fault_needs_them(examples):
    import subprocess
    import sys
    code = ("import sys; from tarnwick_config import config_vpc_migration as cvm; "
            "cvm.load_from_yaml(sys.argv[1]); print(sorted({'yaml', 'pydantic'} & set(sys.modules)))"
)
    out = subprocess.run([sys.executable, "-c", code, str(examples / "full.yaml")],
                         capture_output=True, text=True, check=True).stdout
    assert out.strip() == "[]"


# Under pydantic 2 the layer takes the API of 1 that it carries (pydantic.v1).
def test_pydantic_2_is_read_through_its_v1(monkeypatch):
    import sys
    import types
    from tarnwick_config import _errors
    monkeypatch.setitem(sys.modules, "pydantic", types.SimpleNamespace(VERSION="2.5.0", v1=pydantic))
    monkeypatch.setattr(_errors, "_optional", {})
    assert _errors._library("pydantic") is pydantic
