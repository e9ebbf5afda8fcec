"""The records inside a host's own pydantic 1 models: as field types, with their faults reported
by pydantic as its own, under the field's location."""

import ipaddress
import json
import os
import pickle
import subprocess
import sys
import textwrap
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
    import types
    from tarnwick_config import _errors
    monkeypatch.setitem(sys.modules, "pydantic", types.SimpleNamespace(VERSION="2.5.0"))
    monkeypatch.setitem(sys.modules, "pydantic.v1", pydantic)
    monkeypatch.setattr(_errors, "_optional", {})
    assert _errors._library("pydantic") is pydantic


# pydantic 2 in miniature: a package whose v1 subpackage is pydantic 1 itself, and which, like
# pydantic 2, leaves that subpackage out of its own import.
FAKE_PYDANTIC_2 = {
    "pydantic/__init__.py": 'VERSION = "2.99.0"\n',
    "pydantic/v1/__init__.py": textwrap.dedent("""\
        import importlib.util, sys
        found = importlib.util.spec_from_file_location(
            __name__, {init!r}, submodule_search_locations=[{folder!r}])
        module = importlib.util.module_from_spec(found)
        sys.modules[__name__] = module
        found.loader.exec_module(module)
        """),
}

HOST_OF_PYDANTIC_2 = """
import json, sys
from tarnwick_config import config_vpc_migration as cvm
try:  # the first fault, before the host has imported pydantic.v1
    cvm.VPCConfig(vpc_id="v", bogus=1)
except cvm.ValidationError as error:
    first = error
import pydantic
import pydantic.v1
assert pydantic.VERSION == "2.99.0" and isinstance(first, pydantic.v1.ValidationError)

class Plan(pydantic.v1.BaseModel):
    vpc: cvm.VPCConfig

try:
    Plan(vpc={"vpc_id": "v", "bogus": 1, "crvn_cidr": "10.0.0.300/24"})
except pydantic.v1.ValidationError as error:
    print(json.dumps(error.errors()))
"""


def test_pydantic_2s_v1_is_used_whatever_the_order_of_imports(tmp_path):
    folder = os.path.dirname(pydantic.__file__)  # pydantic 1, or pydantic 2's v1
    for name, text in FAKE_PYDANTIC_2.items():
        (tmp_path / name).parent.mkdir(parents=True, exist_ok=True)
        (tmp_path / name).write_text(text.format(init=os.path.join(folder, "__init__.py"),
                                                 folder=folder))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(tmp_path)] + sys.path))
    out = subprocess.run([sys.executable, "-c", HOST_OF_PYDANTIC_2], env=env,
                         capture_output=True, text=True, check=True).stdout
    assert [(tuple(e["loc"]), e["type"]) for e in json.loads(out)] == [
        (("vpc", "crvn_cidr"), "value_error.ipv4network"), (("vpc", "bogus"), "value_error.extra")]


# ---------------------------------------------------------------------------------------------
# A host's model holding records serialises them as pydantic serialises models of its own: the
# same model made of pydantic's own classes is the measure.

class TwinVpc(pydantic.BaseModel):
    vpc_id: str
    crvn_cidr: Optional[ipaddress.IPv4Network] = None
    gw_zones: List[str] = pydantic.Field(default_factory=list)
    domain: Optional[str] = None

    class Config:
        extra = "forbid"


class TwinHolder(pydantic.BaseModel):
    vpc: TwinVpc
    vpcs: List[TwinVpc] = []
    note: str = "n"


class Holder(pydantic.BaseModel):
    vpc: cvm.VPCConfig
    vpcs: List[cvm.VPCConfig] = []
    note: str = "n"


TWIN_FIELDS = {"vpc_id", "crvn_cidr", "gw_zones", "domain"}


@pytest.mark.parametrize("options", [
    {},
    {"exclude_unset": True},
    {"exclude_none": True},
    {"exclude_defaults": True},
    {"by_alias": True},
    {"include": {"vpc": {"vpc_id", "gw_zones"}, "vpcs": {1: {"vpc_id"}}}},
    {"include": {"vpc": ..., "vpcs": {"__all__": {"crvn_cidr"}}}},
    {"exclude": {"vpc": {"gw_zones"}, "vpcs": {0}, "note": ...}},
    {"exclude": {"vpcs": {"__all__": {"vpc_id"}}}, "exclude_unset": True},
])
def test_a_host_models_dict_and_json_take_records_as_models(options):
    given = {"vpc": {"vpc_id": "v", "crvn_cidr": "10.0.0.0/24", "gw_zones": ["a"]},
             "vpcs": [{"vpc_id": "w"}, {"vpc_id": "x", "domain": "d"}]}
    ours, twin = Holder(**given), TwinHolder(**given)

    def only_twin_fields(data):  # the records' other fields, which the twin has not
        if isinstance(data, dict):
            return {k: only_twin_fields(v) for k, v in data.items()
                    if k in TWIN_FIELDS or k in TwinHolder.__fields__}
        return [only_twin_fields(v) for v in data] if isinstance(data, list) else data

    assert only_twin_fields(ours.dict(**options)) == twin.dict(**options)
    assert only_twin_fields(json.loads(ours.json(**options))) == json.loads(twin.json(**options))
    assert only_twin_fields(json.loads(ours.json(models_as_dict=False, **options))) == \
        json.loads(twin.json(models_as_dict=False, **options))
    partial = ours.copy(**{k: v for k, v in options.items() if k in ("include", "exclude")})
    assert only_twin_fields(partial.dict()) == twin.copy(
        **{k: v for k, v in options.items() if k in ("include", "exclude")}).dict()


def test_a_host_models_json_gives_addresses_as_text(examples):
    loaded = cvm.load_from_yaml(examples / "full.yaml")
    plan = Plan(cfg=loaded, backup=loaded.aws)
    assert json.loads(plan.json()) == {"cfg": cvm.dump_to_dict(loaded), "extra_vpcs": [],
                                       "backup": cvm.dump_to_dict(loaded.aws)}
    assert plan.dict()["cfg"] == loaded.dict() and type(plan.dict()["cfg"]) is dict
    assert json.loads(json.dumps(loaded.account_info[0], default=pydantic.json.pydantic_encoder)) \
        == cvm.dump_to_dict(loaded)["account_info"][0]


# pydantic 1 reads a value for a model field, or for parse_obj, as a dict when it is one or can be
# made one (a model of another class gives its fields); anything else it refuses.
def test_values_that_are_no_mapping_fail_as_pydantics():
    twin = type("VPCConfig", (pydantic.BaseModel,), {
        "__annotations__": {"vpc_id": str, "domain": Optional[str]}, "domain": None,
        "Config": type("Config", (), {"extra": "forbid"})})
    twin_holder = type("Holder", (pydantic.BaseModel,), {"__annotations__": {"vpc": twin}})
    # (Of a record of another class, its fields: two, since pydantic 1 reports undeclared keys
    # sorted, and the frame in the order given.)
    other = type("ModeIdConfig", (pydantic.BaseModel,), {
        "__annotations__": {"id": Optional[str], "label": Optional[str]}, "id": "a", "label": "b"})
    for value, twin_value in [(5, 5), ("v", "v"), (cvm.ModeIdConfig(), other()),
                              ([("vpc_id", "v")], [("vpc_id", "v")])]:
        for parse in ("parse_obj", "field"):
            def errors(model, holder, value):
                try:
                    if parse == "parse_obj":
                        model.parse_obj(value)
                    else:
                        holder(vpc=value)
                except pydantic.ValidationError as error:
                    return error.errors(), [isinstance(e.exc, TypeError) for e in error.raw_errors]
                return None

            assert errors(cvm.VPCConfig, Holder, value) == errors(twin, twin_holder, twin_value)
