"""Loading a document and reading it back through the record classes."""

import copy
import gc
import ipaddress
import itertools
import json
import pickle

import pytest

from tarnwick_config import config_vpc_migration as cvm
from tarnwick_config.config_vpc_migration import (
    BackupConfig,
    DiscoveryConfiguration,
    SnatPoliciesConfig,
    TerraformConfig,
    VPCConfig,
    ValidationError,
    _BaseModel,
    dump_to_dict,
    load_from_yaml,
)

RECORDS = [
    "AccountInfo", "AlertConfig", "BackupConfig", "CleanupConfig", "CorvaneConfig",
    "DiscoveryConfiguration", "ModeIdConfig", "Region", "ScriptConfig", "SnatPoliciesConfig",
    "SwitchTrafficConfig", "TGWConfig", "TerraformConfig", "TfCloudConfig",
    "TfControllerAccessConfig", "VPCConfig",
]


@pytest.fixture
def full(examples):
    return load_from_yaml(examples / "full.yaml")


def plain(value):
    """An attribute value as the dump writes it: records as dicts, addresses as text."""
    if isinstance(value, _BaseModel):
        return {key: plain(getattr(value, key)) for key in value.__fields__}
    if isinstance(value, (ipaddress.IPv4Address, ipaddress.IPv4Network)):
        return str(value)
    if isinstance(value, list):
        return [plain(v) for v in value]
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    return value


def test_every_record_type_is_exported_and_derives_from_base():
    for name in RECORDS:
        cls = getattr(cvm, name)
        assert issubclass(cls, _BaseModel), name
        assert cls.__module__ == "tarnwick_config.config_vpc_migration"
    assert issubclass(BackupConfig.S3Config, _BaseModel)
    assert BackupConfig.S3Config.__qualname__ == "BackupConfig.S3Config"
    assert issubclass(DiscoveryConfiguration, cvm.ModeIdConfig)
    assert all(hasattr(cvm, name) for name in cvm.__all__)
    # Every record the tables name is exported, as `import *` (the drop-in module) sees them.
    tables = [t["name"] for t in cvm._core._tables() if "." not in t["name"]]
    assert set(RECORDS) <= set(tables) <= set(cvm.__all__)
    assert cvm.__all__ == sorted(set(cvm.__all__))
    assert all(name.isidentifier() for name in cvm.__all__)  # a nested record is no export


def test_attributes_across_the_tree(full):
    assert isinstance(full, DiscoveryConfiguration)
    assert (full.id, full.label) == ("vpc_migration", "wave 3: retail and data platform")

    terraform = full.terraform
    assert terraform.enable_s3_backend is True
    assert terraform.module_source == TerraformConfig.DEFAULT_MODULE_SOURCE
    assert terraform.tf_cloud.tags == '["tarnwick", "wave3"]'  # the list's text
    assert terraform.tf_cloud.workspace_name is None

    assert full.corvane.controller_ip == ipaddress.IPv4Address("10.10.0.20")
    assert full.corvane.tf_controller_access.username == "tarnwick"

    retail, data = full.account_info
    assert retail.filter_cidrs == [ipaddress.IPv4Network("172.16.0.0/12")]
    assert (retail.hpe, retail.max_hpe_performance, retail.spoke_ha) == (True, None, True)
    assert data.max_hpe_performance is True
    assert [r.region for r in retail.regions] == ["us-east-1", "eu-west-1"]

    vpc, second = retail.regions[0].vpcs
    assert isinstance(vpc, VPCConfig)
    assert vpc.crvn_cidr == ipaddress.IPv4Network("10.220.1.0/24")
    assert vpc.eips == [ipaddress.IPv4Address("54.20.1.10"), ipaddress.IPv4Address("54.20.1.11")]
    assert vpc.spoke_gw_tags == [{"Name": "retail-use1-spoke", "owner": "netops"}]
    assert vpc.crvn_cidrs is None and vpc.domain is None
    assert vpc.retain_peering_cidrs == [ipaddress.IPv4Network("0.0.0.0/0")]
    assert (vpc.encrypt, vpc.az_affinity, vpc.spoke_ha) == (True, False, None)
    assert second.spoke_ha is False

    policy = full.config.snat_policies[0]
    assert isinstance(policy, SnatPoliciesConfig)
    assert (policy.protocol, policy.connection) == ("tcp", None)
    assert full.config.subnet_tags == []
    assert full.alert.expect_vpc_prefixes == [ipaddress.IPv4Network("10.0.0.0/8")]
    assert full.cleanup.resources == ["NAT", "VGW", "PEERING"]
    assert full.switch_traffic.delete_tgw_route_delay == "10"

    s3 = full.aws.s3
    assert type(s3) is BackupConfig.S3Config
    assert (s3.account, s3.region) == ("210000000009", "us-east-1")
    assert list(full.tgw.tgw_by_region) == ["us-east-1", "eu-west-1", "us-west-2"]


@pytest.mark.parametrize("name, discovery_only", [("full.yaml", False),
                                                  ("discovery_minimal.yaml", True)])
def test_attributes_hold_what_the_dump_holds(examples, name, discovery_only):
    config = load_from_yaml(examples / name, discovery_only=discovery_only)
    # Same keys, same order, same values: every field of every table has its attribute.
    assert json.dumps(plain(config)) == json.dumps(dump_to_dict(config))


# One address under two prefix lengths names two networks, and 0.0.0.0 the address is not
# 0.0.0.0/0: each kept as written, in order, in the records, the dump and a record built anew.
@pytest.mark.parametrize("through_yaml", [False, True])
def test_one_address_under_two_prefix_lengths(minimal_dict, tmp_path, through_yaml):
    account = minimal_dict["account_info"][0]
    vpc = account["regions"][0]["vpcs"][0]
    account["filter_cidrs"] = ["10.0.0.0/8", "10.0.0.0/16", "10.0.0.0/8"]
    vpc.update(eips=["0.0.0.0", "10.0.0.0"], spoke_advertisement=["0.0.0.0/0", "10.0.0.0/16"])
    if through_yaml:
        path = tmp_path / "prefixes.yaml"
        path.write_text(json.dumps(minimal_dict))  # JSON is YAML
        config = load_from_yaml(path)
    else:
        config = cvm.load_from_dict(minimal_dict)
    loaded = config.account_info[0]
    assert loaded.filter_cidrs == [ipaddress.IPv4Network(n) for n in account["filter_cidrs"]]
    assert [n.prefixlen for n in loaded.filter_cidrs] == [8, 16, 8]
    built = loaded.regions[0].vpcs[0]
    assert (built.eips, built.spoke_advertisement) == (
        [ipaddress.IPv4Address(a) for a in vpc["eips"]],
        [ipaddress.IPv4Network(n) for n in vpc["spoke_advertisement"]])
    dumped = dump_to_dict(config)["account_info"][0]
    assert dumped["filter_cidrs"] == account["filter_cidrs"]
    assert dumped["regions"][0]["vpcs"][0]["eips"] == vpc["eips"]
    assert cvm.AccountInfo(**loaded.dict()).filter_cidrs == loaded.filter_cidrs


# Loaded addresses and networks are the values ipaddress makes from their text, at every prefix
# length: type, equality, hash, text, the attributes held, what /31 and /32 add, and pickling.
@pytest.mark.parametrize("network", ["0.0.0.0/0", "128.0.0.0/1", "10.0.0.0/8", "172.16.0.0/12",
                                     "192.168.0.0/16", "198.51.100.0/24", "203.0.113.252/30",
                                     "255.255.255.254/31", "10.1.2.3/32", "255.255.255.255/32"])
def test_loaded_networks_are_ipaddress_values(minimal_dict, network):
    address = network.partition("/")[0]
    vpc = minimal_dict["account_info"][0]["regions"][0]["vpcs"][0]
    vpc.update(spoke_routes=[network, network], eips=[address])
    built = cvm.build_document(minimal_dict).account_info[0].regions[0].vpcs[0]
    made, want = built.spoke_routes[0], ipaddress.IPv4Network(network)
    assert (type(made), made, hash(made), repr(made), str(made)) == (
        type(want), want, hash(want), repr(want), str(want))
    assert list(vars(made)) == list(vars(want))  # /31 and /32 hold a hosts function of their own
    assert {k: v for k, v in vars(made).items() if k != "hosts"} == \
        {k: v for k, v in vars(want).items() if k != "hosts"}
    assert (made.prefixlen, made.netmask, made.broadcast_address, made.num_addresses) == (
        want.prefixlen, want.netmask, want.broadcast_address, want.num_addresses)
    assert list(itertools.islice(made.hosts(), 3)) == list(itertools.islice(want.hosts(), 3))
    assert pickle.loads(pickle.dumps(made)) == want and copy.deepcopy(made) == want
    assert made.network_address._ip == want.network_address._ip
    one, wanted = built.eips[0], ipaddress.IPv4Address(address)
    assert (type(one), one, hash(one), repr(one), int(one)) == (
        type(wanted), wanted, hash(wanted), repr(wanted), int(wanted))


# Texts near the lengths a load shares texts up to, and texts that differ only in their last
# byte or in length, each come back as given.
@pytest.mark.parametrize("texts", [
    ["", "a", "a\0", "\0", "a\0\0"],
    ["abcdefgh", "abcdefghi", "abcdefgi", "abcdefg"],
    ["x" * 15, "x" * 16, "x" * 17, "x" * 16 + "y"],
    ["y" * 23, "y" * 24, "y" * 25, "y" * 23 + "z", "y" * 24 + "z"],
    ["z\u00e9" * 4, "z\u00e9" * 8, "\U0001f600" * 6, "\u20ac" * 8, "\u20ac" * 9],
])
def test_texts_come_back_as_given(minimal_dict, texts):
    vpc = minimal_dict["account_info"][0]["regions"][0]["vpcs"][0]
    vpc["spoke_gw_tags"] = [{t + "!": t for t in texts}, {t: t for t in reversed(texts)}]
    vpc["retain_peerings"] = texts * 2
    built = cvm.build_document(minimal_dict).account_info[0].regions[0].vpcs[0]
    assert built.retain_peerings == texts * 2
    assert built.spoke_gw_tags == vpc["spoke_gw_tags"]
    assert all(type(t) is str for t in built.retain_peerings)


def test_fields_set_is_the_records_own(minimal_dict):
    minimal_dict["account_info"][0]["regions"][0]["vpcs"].append({"vpc_id": "vpc-2"})
    config = cvm.build_document(minimal_dict)
    first, second = config.account_info[0].regions[0].vpcs
    assert first.__fields_set__ is first.__fields_set__
    first.__fields_set__.add("domain")
    assert second.__fields_set__ == {"vpc_id"} and "domain" in first.__fields_set__
    second.encrypt = True  # assignment marks the field set
    assert second.__fields_set__ == {"vpc_id", "encrypt"}
    again = pickle.loads(pickle.dumps(first))
    assert again.__fields_set__ == first.__fields_set__ and again == first
    assert first.copy().__fields_set__ == first.__fields_set__
    assert copy.deepcopy(config).account_info[0].__fields_set__ == {"account_id", "regions"}
    first.__fields_set__ = {"vpc_id"}
    assert first.dict(exclude_unset=True) == {"vpc_id": "vpc-1"}
    del first.__fields_set__
    with pytest.raises(AttributeError):
        first.__fields_set__


# __fields_set__ of a loaded record holds the keys its input gave, also at their default value,
# and nothing for a section made from its defaults.
@pytest.mark.parametrize("source", ["dict", "yaml"])
def test_fields_set_of_a_loaded_record(minimal_dict, source, tmp_path):
    regions = minimal_dict["account_info"][0]["regions"]
    regions[0]["vpcs"][0].update(vpc_id="", az_affinity=False, encrypt=None)
    regions.append({"region": "us-east-2", "vpcs": []})
    if source == "dict":
        config = cvm.build_document(minimal_dict)
    else:
        path = tmp_path / "doc.yaml"
        path.write_text(json.dumps(minimal_dict))  # JSON is YAML
        config = cvm.load_from_yaml(path)
    first, second = config.account_info[0].regions
    assert first.vpcs[0].__fields_set__ == {"vpc_id", "az_affinity", "encrypt"}
    assert first.vpcs[0].dict(exclude_unset=True) == {"vpc_id": "", "az_affinity": False,
                                                      "encrypt": None}
    assert second.dict(exclude_unset=True) == {"region": "us-east-2", "vpcs": []}
    assert config.__fields_set__ == {"terraform", "corvane", "account_info"}
    assert config.alert.__fields_set__ == set()


def test_absent_optional_sections(examples):
    config = load_from_yaml(examples / "discovery_minimal.yaml", discovery_only=True)
    assert config.corvane is None and config.aws is None and config.config.snat_policies is None
    assert config.tgw == {}  # reads as empty, as it dumps


def test_edits_are_kept_unvalidated_as_in_pydantic(full):
    vpc = full.account_info[0].regions[0].vpcs[0]
    vpc.vpc_id = "not checked"
    vpc.gw_zones.append("c")
    full.account_info.append("anything")
    assert (vpc.vpc_id, vpc.gw_zones[-1], full.account_info[-1]) == ("not checked", "c",
                                                                     "anything")
    assert "vpc_id" in vpc.__fields_set__
    with pytest.raises(ValueError, match='"VPCConfig" object has no field "colour"'):
        vpc.colour = "blue"
    with pytest.raises(ValidationError):
        VPCConfig()


def test_equality_hash_repr_and_copy(examples, full):
    again = load_from_yaml(examples / "full.yaml")
    assert full == again and full.account_info[0] != full.account_info[1]
    assert full != dump_to_dict(full)  # addresses are objects here, text there
    first, second = full.account_info[0].regions[0].vpcs
    with pytest.raises(TypeError):
        hash(first)  # mutable
    assert repr(first).startswith("VPCConfig(vpc_id='vpc-0a11b22c33d44e501', "
                                  "crvn_cidr=IPv4Network('10.220.1.0/24'), crvn_cidrs=None,")
    assert repr(full.aws).startswith("BackupConfig(s3=BackupConfig.S3Config(account=")
    deep = copy.deepcopy(full)
    assert deep == full and deep.account_info[0] is not full.account_info[0]
    shallow = copy.copy(full)
    assert shallow == full and shallow.account_info is full.account_info


def test_nested_records_outlive_the_document(examples):
    vpc = load_from_yaml(examples / "full.yaml").account_info[1].regions[0].vpcs[0]
    s3 = load_from_yaml(examples / "full.yaml").aws.s3
    gc.collect()
    others = [load_from_yaml(examples / "full.yaml") for _ in range(3)]  # reuse freed memory
    assert others
    assert vpc.vpc_id == "vpc-0b99c00d11e22f301"
    assert vpc.spoke_advertisement == [ipaddress.IPv4Network("10.40.0.0/16")]
    assert s3.name == "example-retail-tarnwick-backups"
