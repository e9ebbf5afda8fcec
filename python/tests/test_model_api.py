"""The model API of pydantic 1 on loaded and constructed records, keyword constructors against
the load, and what load_from_dict reads from Python values."""

import copy
import datetime
import ipaddress
import json
import pathlib
import pickle
import re
import subprocess
import sys

import pytest

import tarnwick_config
from tarnwick_config import _errors, config_vpc_migration as cvm
from tarnwick_config.config_vpc_migration import (
    DiscoveryConfiguration,
    Region,
    TerraformConfig,
    TfCloudConfig,
    ValidationError,
    VPCConfig,
    YamlError,
    _BaseModel,
    build_document,
    load_from_yaml,
)

NET = ipaddress.IPv4Network


@pytest.fixture
def full(examples):
    return load_from_yaml(examples / "full.yaml")


@pytest.fixture
def vpc(full):
    return full.account_info[0].regions[0].vpcs[0]


@pytest.fixture
def migration_mode():
    _BaseModel.discovery_only = False
    yield
    _BaseModel.discovery_only = False


@pytest.mark.parametrize("options, expected", [
    ({"include": {"vpc_id", "gw_zones"}}, {"vpc_id": "vpc-0a11b22c33d44e501",
                                           "gw_zones": ["a", "b"]}),
    ({"include": {"spoke_gw_tags": {0: {"owner"}}}}, {"spoke_gw_tags": [{"owner": "netops"}]}),
    ({"exclude_unset": True, "include": {"domain", "vpc_id"}}, {"vpc_id": "vpc-0a11b22c33d44e501"}),
    ({"exclude_defaults": True, "include": {"az_affinity", "encrypt"}}, {"encrypt": True}),
    ({"exclude_none": True, "include": {"domain", "encrypt"}}, {"encrypt": True}),
    ({"exclude_none": True, "include": {"hpe", "az_affinity", "spoke_routes"}},
     {"az_affinity": False}),  # False is not None
    ({"skip_defaults": True, "include": {"domain", "vpc_id"}}, {"vpc_id": "vpc-0a11b22c33d44e501"}),
    ({"exclude": {"__all__"}}, {}),  # every field, though none is named
    ({"exclude": {"__all__": ...}}, {}),
])
def test_dict_options(vpc, options, expected):
    assert vpc.dict(**options) == expected
    assert json.loads(vpc.json(**options)) == expected


def test_json_takes_an_encoder_and_dumps_options(vpc):
    assert vpc.json(include={"crvn_cidr", "vpc_id"}, encoder=lambda v: f"<{v}>", sort_keys=True) \
        == '{"crvn_cidr": "<10.220.1.0/24>", "vpc_id": "vpc-0a11b22c33d44e501"}'


# pydantic 1's nested selections: ... (or True) takes a whole value, "__all__" every item.
@pytest.mark.parametrize("include, expected", [
    ({"corvane": {"controller_ip": ...}, "alert": {"expect_vpc_prefixes": ...}},
     {"corvane": {"controller_ip": "10.10.0.20"},
      "alert": {"expect_vpc_prefixes": ["10.0.0.0/8"]}}),
    ({"corvane": {"controller_ip": True, "tf_controller_access": {"username"}}},
     {"corvane": {"controller_ip": "10.10.0.20",
                  "tf_controller_access": {"username": "tarnwick"}}}),
    ({"account_info": {"__all__": {"account_id": ...}}},
     {"account_info": [{"account_id": "310000000001"}, {"account_id": "310000000002"}]}),
    ({"account_info": {1: {"regions": {0: {"vpcs": {0: {"spoke_advertisement"}}}}}}},
     {"account_info": [{"regions": [{"vpcs": [{"spoke_advertisement": ["10.40.0.0/16"]}]}]}]}),
    ({"tgw": {"tgw_by_region": {"eu-west-1": ...}}},
     {"tgw": {"tgw_by_region": {"eu-west-1": "tgw-0fedcba9876543210"}}}),
])
def test_dict_and_json_include_nested(full, include, expected):
    assert json.loads(full.json(include=include)) == expected
    assert json.loads(json.dumps(full.dict(include=include), default=str)) == expected


def test_dict_excludes_nested_and_json_matches_dump(full):
    data = full.dict(exclude={"account_info": {"__all__": {"regions"}}, "terraform": ...})
    assert "terraform" not in data and "regions" not in data["account_info"][1]
    first, second = full.dict(exclude={"account_info": {0: {"regions": ..., "hpe": True}}})[
        "account_info"]
    assert "regions" not in first and "hpe" not in first and "account_id" in first
    assert second == full.account_info[1].dict()
    dumped = json.loads(full.json(exclude={"corvane": {"tf_controller_access": {"username": ...}}}))
    assert list(dumped["corvane"]["tf_controller_access"]) == [
        k for k in cvm.TfControllerAccessConfig.__fields__ if k != "username"]
    assert json.loads(full.json()) == cvm.dump_to_dict(full)


def test_model_api_of_a_vpc(vpc):
    assert dict(vpc)["crvn_cidr"] == NET("10.220.1.0/24")
    assert vpc == vpc.dict() and vpc != {"vpc_id": vpc.vpc_id}
    assert str(vpc).startswith("vpc_id='vpc-0a11b22c33d44e501' crvn_cidr=IPv4Network(")
    field = VPCConfig.__fields__["retain_peering_cidrs"]
    # A list default is a factory's, as pydantic 1 declares it: default None, made afresh.
    assert (field.name, field.alias, field.required, field.default) == (
        "retain_peering_cidrs", "retain_peering_cidrs", False, None)
    assert field.default_factory is cvm._default_network
    # An empty list or mapping is made by its own type.
    assert [VPCConfig.__fields__["gw_zones"].default_factory,
            cvm.TGWConfig.__fields__["tgw_by_region"].default_factory] == [list, dict]
    assert field.get_default() == [NET("0.0.0.0/0")] and field.field_info.description
    assert VPCConfig.__fields__["vpc_id"].required
    # A required field shows no default; any other the one it gets.
    assert [repr(VPCConfig.__fields__[k]) for k in ("vpc_id", "gw_zones")] == [
        "ModelField(name='vpc_id', type=<class 'tarnwick_config._records._str'>, required=True)",
        "ModelField(name='gw_zones', type=typing.List[tarnwick_config._records._str], "
        "required=False, default=[])"]
    assert VPCConfig.__fields__["eips"].outer_type_ == cvm.IPAddressList
    assert DiscoveryConfiguration.__fields__["tgw"].outer_type_ is cvm.TGWConfig
    assert [f.allow_none for f in (VPCConfig.__fields__["domain"], VPCConfig.__fields__["vpc_id"],
                                   DiscoveryConfiguration.__fields__["tgw"])] == [True, False, True]
    schema = VPCConfig.schema()
    assert list(schema["properties"]) == list(VPCConfig.__fields__)
    assert schema["required"] == ["vpc_id"]
    # The records a record reaches are its definitions; a record that reaches none has none.
    assert "definitions" not in schema
    assert "VPCConfig" in DiscoveryConfiguration.schema()["definitions"]


def test_copies_and_pickles_are_independent(full, vpc):
    changed = vpc.copy(update={"vpc_id": "vpc-2"})
    assert (changed.vpc_id, vpc.vpc_id) == ("vpc-2", "vpc-0a11b22c33d44e501")
    assert changed.gw_zones is vpc.gw_zones and vpc.copy(deep=True).gw_zones is not vpc.gw_zones
    for clone in (copy.deepcopy(full), pickle.loads(pickle.dumps(full))):
        assert clone == full and type(clone.aws.s3) is cvm.BackupConfig.S3Config
        clone.account_info[0].regions[0].vpcs[0].gw_zones.append("z")
        assert clone != full
    shallow = copy.copy(vpc)
    shallow.vpc_id = "other"
    shallow.inspection = True
    assert vpc.vpc_id != "other" and "inspection" not in vpc.__fields_set__
    zones = ["q"]
    assert vpc.copy(update={"gw_zones": zones}).gw_zones is zones
    deep = vpc.copy(update={"gw_zones": zones}, deep=True).gw_zones
    assert deep == zones and deep is not zones  # update values are copied too
    assert list(vpc.copy(include={"domain", "vpc_id"}).dict()) == ["vpc_id", "domain"]
    assert vpc.copy(update={"gw_zones": ("a",)}).dict()["gw_zones"] == ("a",)  # a tuple stays one
    assert "encrypt_key" not in vpc.copy(exclude={"encrypt_key"}).dict()
    for make in (VPCConfig.parse_obj, VPCConfig.validate):  # a record given is copied
        made = make(vpc)
        made.vpc_id = "made"
        assert made is not vpc and vpc.vpc_id == "vpc-0a11b22c33d44e501"


# pydantic 1: update values are taken unvalidated and join __fields_set__ (even at a default);
# the copy's __fields_set__ is its own.
@pytest.mark.parametrize("update, added", [
    (None, set()),
    ({"domain": "d.example", "vpc_id": 5}, {"domain"}),
    ({"az_affinity": False, "spoke_ha": None}, {"az_affinity", "spoke_ha"}),
])
def test_copy_update_sets_values_and_fields_set(vpc, update, added):
    before = set(vpc.__fields_set__)
    clone = vpc.copy(update=update)
    assert clone.dict() == dict(vpc.dict(), **(update or {}))
    assert clone.__fields_set__ == before | added and vpc.__fields_set__ == before
    assert set(clone.dict(exclude_unset=True)) == before | added
    clone.inspection = True
    assert "inspection" in clone.__fields_set__ and "inspection" not in vpc.__fields_set__


# pydantic 1's construct: values unvalidated, __fields_set__ the given keys unless named, absent
# fields at a fresh copy of their default.
@pytest.mark.parametrize("fields_set, expected", [(None, {"vpc_id", "domain"}),
                                                  ({"vpc_id"}, {"vpc_id"})])
def test_construct(fields_set, expected):
    built = VPCConfig.construct(fields_set, vpc_id=5, domain="d")
    assert (built.vpc_id, built.domain, built.az_affinity) == (5, "d", False)
    assert built.__fields_set__ == expected and built.dict(exclude_unset=True).keys() == expected
    built.retain_peering_cidrs.append(NET("10.0.0.0/8"))
    assert VPCConfig.construct().retain_peering_cidrs == [NET("0.0.0.0/0")]
    assert "vpc_id" not in VPCConfig.construct().dict()  # a required field has no default


@pytest.mark.usefixtures("migration_mode")
def test_constructors_build_as_a_load_does(full, vpc):
    built = VPCConfig(vpc_id=" vpc-1 ", gw_zones=("a",), eips=["10.0.0.1"])
    assert (built.vpc_id, built.gw_zones, built.eips) == ("vpc-1", ["a"],
                                                         [ipaddress.IPv4Address("10.0.0.1")])
    assert built.retain_peering_cidrs == [NET("0.0.0.0/0")]
    assert built.__fields_set__ == {"vpc_id", "gw_zones", "eips"}
    assert VPCConfig(**vpc.dict()) == vpc and Region.parse_obj(full.account_info[0].regions[0])
    with pytest.raises(ValidationError) as info:
        VPCConfig(vpc_id="v", crvn_cidr="10.0.0.7/24", colour=1, domain=[1])
    error = info.value
    assert error.model is VPCConfig
    locs = [("crvn_cidr",), ("domain",), ("colour",)]
    assert [e["loc"] for e in error.errors()] == locs
    assert [w.loc_tuple() for w in error.raw_errors] == locs
    # Each exception says its error type as pydantic derives it: a TypeError or a ValueError,
    # with the rest of the type as its code.
    assert [(isinstance(w.exc, TypeError), getattr(w.exc, "code", None), str(w.exc))
            for w in error.raw_errors] == [
        (False, "ipv4network", error.errors()[0]["msg"]), (True, "str", "str type expected"),
        (False, "extra", "extra fields not permitted")]


@pytest.mark.usefixtures("migration_mode")
@pytest.mark.parametrize("data, encoding, expected", [
    (b'{"vpc_id": "v"}', "utf8", "v"),
    ('{"vpc_id": "v\u00e9"}'.encode("utf-16"), "utf-16", "v\u00e9"),
    (b'{"vpc_id": ', "utf8", "value_error.jsondecode"),
    (b'{"vpc_id": "\xff"}', "utf8", "value_error.unicodedecode"),
], ids=["utf8", "utf16", "no-json", "bad-utf8"])
def test_parse_raw_and_parse_file(tmp_path, data, encoding, expected):
    path = tmp_path / "vpc.json"
    path.write_bytes(data)
    for parse in (lambda: VPCConfig.parse_raw(data, encoding=encoding),
                  lambda: VPCConfig.parse_file(path, encoding=encoding)):
        if expected.startswith("value_error"):
            with pytest.raises(ValidationError) as info:
                parse()
            assert [(e["loc"], e["type"]) for e in info.value.errors()] == [
                (("__root__",), expected)]
        else:
            assert parse().vpc_id == expected


@pytest.mark.usefixtures("migration_mode")
@pytest.mark.parametrize("build", [
    lambda examples: VPCConfig(vpc_id="v", crvn_cidr="10.0.0.7/24", colour=1),
    lambda examples: cvm.BackupConfig.S3Config(account=[1]),
    lambda examples: cvm.load_from_yaml(examples / "invalid.yaml"),
])
def test_validation_errors_survive_pickling(examples, capsys, build):
    with pytest.raises((ValidationError, SystemExit)) as info:
        build(examples)
    error = info.value if isinstance(info.value, ValidationError) else info.value.__cause__
    for protocol in range(2, pickle.HIGHEST_PROTOCOL + 1):
        clone = pickle.loads(pickle.dumps(error, protocol))
        assert type(clone) is type(error) and clone.model is error.model
        assert (clone.errors(), clone.json(), str(clone), clone.positions()) == (
            error.errors(), error.json(), str(error), error.positions())
        assert [w.loc_tuple() for w in clone.raw_errors] == [e["loc"] for e in error.errors()]
    error.positions().clear()
    error.errors().clear()
    assert error.positions() == clone.positions() and error.errors() == clone.errors()


# parse_obj and validate take a mapping or pairs; anything else is refused as pydantic 1 refuses
# it, pairs of the wrong length too (dict() refuses those with a ValueError): parse_obj with a
# validation error at __root__, validate (what a host's model calls) with pydantic's DictError.
@pytest.mark.usefixtures("migration_mode")
@pytest.mark.parametrize("value, vpc_id", [
    ({"vpc_id": "v"}, "v"),
    ([("vpc_id", "w")], "w"),
    (["ab", "c"], None),
    ([1, 2], None),
    (5, None),
])
def test_parse_obj_and_validate_take_mappings_and_pairs(value, vpc_id):
    if vpc_id is not None:
        assert VPCConfig.parse_obj(value).vpc_id == VPCConfig.validate(value).vpc_id == vpc_id
        return
    with pytest.raises(ValidationError) as info:
        VPCConfig.parse_obj(value)
    assert info.value.errors() == [{"loc": ("__root__",), "type": "type_error",
                                    "msg": f"VPCConfig expected dict not {type(value).__name__}"}]
    assert type(info.value.raw_errors[0].exc) is TypeError and info.value.model is VPCConfig
    with pytest.raises(ValidationError, match="VPCConfig expected dict not int"):
        VPCConfig.parse_raw("5")
    with pytest.raises(TypeError, match="^value is not a valid dict$") as info:
        VPCConfig.validate(value)
    assert info.value.code == "dict"  # pydantic's type_error.dict


@pytest.mark.usefixtures("migration_mode")
def test_constructors_run_in_the_mode_the_host_sets():
    with pytest.raises(ValidationError, match="terraform_version"):
        TerraformConfig(terraform_output="/tmp/out")
    _BaseModel.discovery_only = True
    assert TerraformConfig(terraform_output="/tmp/out").terraform_version is None


@pytest.mark.usefixtures("migration_mode")
def test_checks_are_class_functions():
    assert DiscoveryConfiguration.isExpectedVpcPrefix(NET("10.1.0.0/16"), [NET("10.0.0.0/8")])
    assert not DiscoveryConfiguration.isExpectedVpcPrefix(NET("11.0.0.0/16"), [NET("10.0.0.0/8")])
    for ip, prefixes in [("10.1.0.7/16", ["10.0.0.0/8"]), ("10.1.0.0/16", ["10.0.0.7/8"]),
                         ("10.1.0.0/16", ["10.0.0.0/8", "ten"])]:
        with pytest.raises(ValueError):
            DiscoveryConfiguration.isExpectedVpcPrefix(ip, prefixes)
    assert [TfCloudConfig.valid_str_attribute(v) for v in ("", " ", "a", [], [""], None, {},
                                                           {"a": 1})] == \
        [False, True, True, False, True, False, False, True]
    for value in (3, 0, True, False, object(), NET("10.0.0.0/8")):  # no length: len() refuses
        with pytest.raises(TypeError, match="has no len()"):
            TfCloudConfig.valid_str_attribute(value)
    with pytest.raises(ValueError, match="encrypt must be True to set encrypt_key"):
        VPCConfig.check_encrypt_key("k", values={"vpc_id": "v"})
    given = {"organization": "o"}
    assert TfCloudConfig.check_and_rewrite_tags(["a"], values=given) == '["a"]'
    assert given == {"organization": "o"}  # a check reads the caller's values, never writes them
    # A check of several fields checks the one it is given.
    fields = TerraformConfig.__fields__
    values = {"terraform_output": "/tmp/o", "terraform_version": "1", "corvane_provider": "2"}
    assert TerraformConfig.check_field_for_none(" 3 ", values, fields["aws_provider"]) == "3"
    # The record fails elsewhere only (no terraform_output): the value comes back as given.
    assert TerraformConfig.check_field_for_none(" 3 ", {}, fields["aws_provider"]) == " 3 "
    with pytest.raises(ValueError, match="missing aws_provider attribute"):
        TerraformConfig.check_field_for_none(None, values=values, field=fields["aws_provider"])


# The record checks the host calls, by their class and name: None where the values pass.
@pytest.mark.parametrize("record, check, values, message", [
    ("TfControllerAccessConfig", "check_mode", {"mode": "ENV", "alias": "x"},
     "the following attribute(s) {'alias': 'x'} should be removed"),
    ("TfControllerAccessConfig", "check_mode", {"mode": "SSM", "alias": "x"}, None),
    # A fault of a field is not the record check's.
    ("TfControllerAccessConfig", "check_mode", {"mode": "SSM", "alias": "x", "colour": 1}, None),
    ("TfCloudConfig", "check_required_attributes", {"organization": "o"},
     "Required workspace_name or tags"),
    ("TfCloudConfig", "check_required_attributes", {"organization": "o", "tags": ["a"]}, None),
])
def test_record_checks_are_class_functions(record, check, values, message):
    run = getattr(getattr(cvm, record), check)
    if message is None:
        assert run(values) == values
    else:
        with pytest.raises(ValueError) as info:
            run(values)
        assert message in str(info.value)


@pytest.mark.parametrize("value, read_as", [
    (datetime.date(2024, 1, 2), "2024-01-02"),
    (ipaddress.IPv4Address("10.0.0.1"), "10.0.0.1"),
])
def test_dates_and_addresses_are_read_as_their_text(minimal_dict, value, read_as):
    minimal_dict["label"] = value
    assert build_document(minimal_dict).label == read_as


def test_a_date_where_no_text_goes_is_a_validation_error(minimal_dict, capsys):
    minimal_dict["account_info"][0]["hpe"] = datetime.date(2024, 1, 2)
    with pytest.raises(SystemExit) as info:
        cvm.load_from_dict(minimal_dict)
    assert capsys.readouterr().out == info.value.__cause__.json() + "\n"
    assert [e["loc"] for e in info.value.__cause__.errors()] == [("account_info", 0, "hpe")]


def test_records_are_read_as_their_fields(full, minimal_dict):
    minimal_dict["account_info"] = full.account_info
    assert build_document(minimal_dict).account_info == full.account_info


def test_yaml_errors_are_pyyamls(tmp_path, monkeypatch):
    yaml = pytest.importorskip("yaml")
    path = tmp_path / "broken.yaml"
    path.write_text("terraform:\n  a: [b\n")
    with pytest.raises(yaml.YAMLError) as info:
        load_from_yaml(path)
    error = info.value
    assert isinstance(error, (YamlError, ValueError))
    assert (error.line, error.column) == (2, 6)
    deep = tmp_path / "deep.yaml"
    deep.write_text("a: " + "[" * 1001 + "]" * 1001 + "\n")
    with pytest.raises(yaml.YAMLError) as limit:
        load_from_yaml(deep)
    assert isinstance(limit.value, YamlError) and type(limit.value).__name__ == "YamlError"
    # Counted from 0; found at the end of the text, where the message names the open bracket.
    assert (error.problem_mark.line, error.problem_mark.column) == (2, 0)
    assert (error.context_mark.line, error.context_mark.column) == (1, 5)
    monkeypatch.setitem(_errors._optional, "yaml", None)  # as if PyYAML were not installed
    assert (error.problem_mark.line, error.problem_mark.column) == (2, 0)
    assert str(error.problem_mark) == str(yaml.Mark(str(path), 0, 2, 0, None, None))
    monkeypatch.setattr(_errors, "_stage_classes", {})
    with pytest.raises(YamlError) as info:
        load_from_yaml(path)
    assert type(info.value) is YamlError and not isinstance(info.value, yaml.YAMLError)


# Each malformed text raises the class PyYAML's own loader raises for it, with both marks.
@pytest.mark.parametrize("text, problem, context", [
    ("a: [1, 2\n", (1, 0), (0, 3)),  # parser: the flow sequence left open, found at the end
    ("a: [1, 2", (0, 8), (0, 3)),
    ("a: {b: 1\n", (1, 0), (0, 3)),
    ("a: \"bc\n", (1, 0), (0, 3)),  # scanner: the quote left open
    ("a: b: c\n", (0, 4), None),  # scanner
    ("x:\n\t- 1\n", (1, 0), (1, 0)),  # scanner, with the context it was in
    ("a: *x\n", (0, 3), None),  # composer: an undefined alias
    ("--- a\n--- b\n", (1, 0), None),  # composer: a second document
    ("a: !!python/object x\n", (0, 3), None),  # constructor: a tag that makes objects
    ("a: \"x\x01\"\n", (0, 5), None),  # reader: a control character
])
def test_yaml_errors_are_pyyamls_classes(tmp_path, text, problem, context):
    yaml = pytest.importorskip("yaml")
    with pytest.raises(yaml.YAMLError) as theirs:
        yaml.load(text, Loader=yaml.FullLoader)
    path = tmp_path / "broken.yaml"
    path.write_text(text)
    with pytest.raises(YamlError) as info:
        load_from_yaml(path)
    error = info.value
    assert isinstance(error, type(theirs.value)) and isinstance(error, ValueError)
    mark = lambda m: m and (m.line, m.column)  # noqa: E731
    assert (mark(error.problem_mark), mark(error.context_mark)) == (problem, context)
    if getattr(theirs.value, "problem_mark", None) is not None:  # a ReaderError has a position
        assert mark(error.problem_mark) == mark(theirs.value.problem_mark)
    assert (error.context is None) == (context is None), repr(error.context)
    assert (error.context_line is None, error.context_column is None) == (context is None,) * 2
    if isinstance(error, yaml.reader.ReaderError):
        assert (error.encoding, error.reason, error.name) == ("utf-8", error.problem, str(path))
    again = pickle.loads(pickle.dumps(error))
    assert (type(again), str(again), mark(again.problem_mark), mark(again.context_mark)) == (
        type(error), str(error), problem, context)


def test_classes_describe_their_fields_to_help_and_type_readers():
    import inspect
    import typing
    params = inspect.signature(VPCConfig).parameters
    assert list(params) == list(VPCConfig.__fields__)
    assert params["vpc_id"].default is inspect.Parameter.empty
    assert params["retain_peering_cidrs"].default == [NET("0.0.0.0/0")]
    assert params["crvn_cidr"].annotation == typing.Optional[ipaddress.IPv4Network]
    assert all(p.kind is inspect.Parameter.KEYWORD_ONLY for p in params.values())
    assert "vpc_id: tarnwick_config._records._str" in pydoc_text(VPCConfig)
    fields = {**Region.__fields__, **VPCConfig.__fields__, **cvm.AccountInfo.__fields__}
    assert fields["region"].outer_type_ == cvm.RegionName == fields["region"].type_
    assert fields["spoke_gw_name"].type_ is cvm.GWName and fields["vpc_id"].type_ is cvm._str
    account_id = fields["account_id"].type_
    assert (account_id.regex.pattern, account_id.strip_whitespace) == ("^[0-9]+$", True)
    assert (fields["vpcs"].outer_type_, fields["vpcs"].type_) == (typing.List[VPCConfig], VPCConfig)
    assert fields["vpcs"].default_factory is None and fields["vpcs"].required
    alert = DiscoveryConfiguration.__fields__["alert"]
    assert alert.default is None and alert.default_factory is cvm.AlertConfig
    assert isinstance(alert.get_default(), cvm.AlertConfig)
    assert DiscoveryConfiguration.__fields__["id"].default is None  # a constant default
    assert DiscoveryConfiguration.__fields__["id"].default_factory is None
    assert _BaseModel.Config.extra == "forbid" and VPCConfig.__config__.extra == "forbid"


# The stubs type checkers read, made at build time from the tables: each field as its attribute
# holds it, Optional where it may be None.
@pytest.mark.parametrize("record, field, annotation", [
    ("VPCConfig", "vpc_id", "str"),
    ("VPCConfig", "crvn_cidr", "Optional[IPv4Network]"),
    ("VPCConfig", "crvn_cidrs", "Optional[List[IPv4Network]]"),
    ("VPCConfig", "retain_peering_cidrs", "List[IPv4Network]"),
    ("Region", "region", "RegionName"),
    ("DiscoveryConfiguration", "tgw", "Union[TGWConfig, Dict[str, Any]]"),
    ("TfCloudConfig", "tags", "Optional[str]"),  # as check_and_rewrite_tags leaves it
    ("TfCloudConfig", "organization", "str"),
])
def test_stubs_declare_each_field(record, field, annotation):
    import ast
    import pathlib
    tree = ast.parse(pathlib.Path(cvm.__file__).with_suffix(".pyi").read_text())
    declared = {(cls.name, node.target.id): ast.unparse(node.annotation)
                for cls in ast.walk(tree) if isinstance(cls, ast.ClassDef)
                for node in cls.body if isinstance(node, ast.AnnAssign)}
    assert declared[(record, field)] == annotation
    init = next(node for cls in ast.walk(tree) if isinstance(cls, ast.ClassDef)
                and cls.name == record for node in cls.body
                if isinstance(node, ast.FunctionDef) and node.name == "__init__")
    params = dict(zip((a.arg for a in init.args.kwonlyargs), init.args.kw_defaults))
    assert (params[field] is None) == getattr(cvm, record).__fields__[field].required


def test_stubs_nest_a_nested_record_in_its_outer_class():
    import ast
    import pathlib
    tree = ast.parse(pathlib.Path(cvm.__file__).with_suffix(".pyi").read_text())
    top = {node.name: node for node in tree.body if isinstance(node, ast.ClassDef)}
    assert "BackupConfig" in top and "S3Config" not in top
    assert any(isinstance(node, ast.ClassDef) and node.name == "S3Config"
               for node in top["BackupConfig"].body)


def pydoc_text(cls):
    import pydoc
    return pydoc.render_doc(cls, renderer=pydoc.plaintext)


def test_one_fault_is_one_validation_error():
    with pytest.raises(ValidationError) as info:
        VPCConfig(vpc_id="v", colour=1)
    assert str(info.value) == ("1 validation error for VPCConfig\ncolour\n"
                               "  extra fields not permitted (type=value_error.extra)")
    assert info.value.json() == json.dumps(info.value.errors(), indent=2)  # as a load prints it


def test_parse_raw_trims_and_parse_file_refuses_undeclared_keys(tmp_path):
    vpc = VPCConfig.parse_raw('{"vpc_id": " v "}')
    assert vpc.vpc_id == "v" and VPCConfig.parse_raw(b'{"vpc_id": "w"}').vpc_id == "w"
    path = tmp_path / "vpc.json"
    path.write_text('{"vpc_id": "x", "colour": 1}')
    with pytest.raises(ValidationError) as info:
        VPCConfig.parse_file(path)
    assert [e["type"] for e in info.value.errors()] == ["value_error.extra"]
    with pytest.raises(ValidationError) as info:
        VPCConfig.parse_raw("{nope")
    assert info.value.errors()[0]["loc"] == ("__root__",)
    assert info.value.errors()[0]["type"] == "value_error.jsondecode"


def test_names_the_host_knows():
    assert cvm.__doc__ == "Configuration options for discovery migration."
    project = (pathlib.Path(__file__).resolve().parents[2] / "CMakeLists.txt").read_text()
    version = re.search(r"project\(tarnwick_config VERSION ([0-9.]+)", project).group(1)
    assert tarnwick_config.__version__ == cvm.__version__ == version
    assert cvm.GW_NAME_KEYS + ["x"] == ["spoke_gw_name", "transit_gw_name", "x"]
    assert cvm._default_network() == [NET("0.0.0.0/0")] and \
        cvm._default_network() is not cvm._default_network()
    assert issubclass(cvm.GWName, cvm._str) and cvm.GWName.max_length == 50
    assert all(hasattr(cvm, n) for n in ("RegionName", "CleanupResources", "CIDRList", "Tag",
                                         "Tags"))
    assert cvm.dump_to_yaml(None, "/nonexistent/dest.yaml") is None


# A host may reload the module (autoreload in a notebook, a test fixture): the records it loaded
# before stay instances of the module's classes, and pickle, copy and dump as ever. A layer whose
# modules are all imported anew makes classes of its own; the records made before still work.
RELOADED = """
import copy, importlib, pickle, sys
from tarnwick_config import config_vpc_migration as cvm
loaded = cvm.load_from_yaml(sys.argv[1])
built = cvm.VPCConfig(vpc_id="v")
importlib.reload(cvm)
for record in (loaded, built, loaded.account_info[0].regions[0].vpcs[0]):
    assert isinstance(record, getattr(cvm, type(record).__qualname__))
    assert pickle.loads(pickle.dumps(record)) == record
    assert copy.copy(record) == record == copy.deepcopy(record)
    assert set(record.dict(exclude_unset=True)) == record.__fields_set__
assert built.dict(exclude_unset=True) == {"vpc_id": "v"}
again = cvm.load_from_yaml(sys.argv[1])  # its __fields_set__ not read yet
assert again == loaded and cvm.dump_to_dict(loaded)
for name in [n for n in sys.modules if n.startswith("tarnwick_config") and not n.endswith("_core")]:
    del sys.modules[name]
from tarnwick_config import config_vpc_migration as fresh
assert fresh.DiscoveryConfiguration is not type(again)
assert copy.deepcopy(again) == again and "account_info" in again.__fields_set__
assert fresh.load_from_yaml(sys.argv[1]).dict() == loaded.dict()
print("kept")
"""


def test_records_outlive_a_reload_of_the_module(examples):
    out = subprocess.run([sys.executable, "-c", RELOADED, str(examples / "full.yaml")],
                         capture_output=True, text=True)
    assert (out.returncode, out.stdout, out.stderr) == (0, "kept\n", "")


# check_config reads GW_NAME_KEYS when the document is loaded, as the host's module did: a key
# the host adds is demanded in every VPC too, and a list it puts in place is the one read.
@pytest.mark.usefixtures("migration_mode")
def test_gateway_naming_demands_the_keys_of_gw_name_keys(minimal_dict, monkeypatch):
    vpc = minimal_dict["account_info"][0]["regions"][0]["vpcs"][0]
    vpc.update(spoke_gw_name="s", transit_gw_name="t", crvn_cidr="10.220.1.0/24")
    minimal_dict["config"] = {"configure_gw_name": True}
    build_document(minimal_dict)

    def fault():
        with pytest.raises(ValidationError) as info:
            build_document(minimal_dict)
        (error,) = info.value.errors()
        return error["loc"], error["msg"].splitlines()[-1]

    keys = cvm.GW_NAME_KEYS
    keys.append("transit_gw_egress_name")
    try:
        assert fault() == (("config",), "account: 310000000001, region: us-east-1, vpc: vpc-1")
        with pytest.raises(ValidationError):
            DiscoveryConfiguration(**minimal_dict)  # a keyword build reads them too
        vpc["transit_gw_egress_name"] = "e"
        minimal_dict["config"]["configure_transit_gw_egress"] = True
        assert build_document(minimal_dict).config.configure_gw_name
        keys.append("no_such_key")  # names no field: no VPC can set it
        assert fault()[0] == ("config",)
    finally:
        del keys[2:]
    assert keys == ["spoke_gw_name", "transit_gw_name"]
    build_document(minimal_dict)  # valid again under the built-in keys
    del vpc["transit_gw_name"]
    assert fault()[0] == ("config",)
    monkeypatch.setattr(cvm, "GW_NAME_KEYS", ["spoke_gw_name"])
    assert build_document(minimal_dict).account_info[0].regions[0].vpcs[0].transit_gw_name is None
