"""A host's use of the module, as check_wheel.py type-checks it with mypy --strict and then runs
it: every section of a loaded document, the model API and the errors. Correct code, so mypy must
report nothing; and what the types say must hold at run time (the asserts).

usage: strict_host.py DOCUMENT INVALID_DOCUMENT MALFORMED_YAML
"""

import contextlib
import io
import ipaddress
import json
import pathlib
import sys
import tempfile
from typing import Dict, List, Optional, Tuple

from tarnwick.core.config_vpc_migration import (
    REGION_NAMES, DiscoveryConfiguration, RegionName, TfCloudConfig, TGWConfig, ValidationError,
    VPCConfig, YamlError, _BaseModel, build_document, dump_to_dict, load_from_yaml)


def gateways(config: DiscoveryConfiguration) -> Dict[RegionName, str]:
    # An absent tgw section holds an empty dict, a given one its record.
    return dict(config.tgw.tgw_by_region) if isinstance(config.tgw, TGWConfig) else {}


def networks(config: DiscoveryConfiguration) -> List[ipaddress.IPv4Network]:
    found: List[ipaddress.IPv4Network] = []
    for account in config.account_info:
        found += account.filter_cidrs
        for region in account.regions:
            assert region.region in REGION_NAMES
            for vpc in region.vpcs:
                found += [vpc.crvn_cidr] if vpc.crvn_cidr else []
                found += vpc.retain_peering_cidrs + (vpc.crvn_cidrs or [])
                names = [tag.get("Name", "") for tag in vpc.spoke_gw_tags]
                assert all(isinstance(n, str) for n in names + vpc.gw_zones)
    return found + config.alert.expect_dest_cidrs + config.config.allow_vpc_cidrs


def read_sections(config: DiscoveryConfiguration) -> List[str]:
    terraform = config.terraform
    cloud: Optional[TfCloudConfig] = terraform.tf_cloud
    tags: List[str] = json.loads(cloud.tags) if cloud and cloud.tags else []
    out = [config.id or "", config.label or "", terraform.terraform_output]
    out += [cloud.organization.upper() if cloud else ""] + tags
    if config.corvane:
        out += [str(config.corvane.controller_ip), config.corvane.tf_controller_access.mode]
    policies = config.config.snat_policies or []
    out += [p.protocol for p in policies] + list(config.cleanup.resources)
    out += [config.switch_traffic.delete_tgw_route_delay, config.aws.s3.name if config.aws else ""]
    return out + [str(n) for n in networks(config)] + list(gateways(config).values())


def model_api(vpc: VPCConfig) -> None:
    again = VPCConfig.parse_raw(vpc.json())
    assert again == vpc and VPCConfig.parse_obj(vpc.dict()) == vpc
    assert VPCConfig.Config.extra == "forbid" and VPCConfig.__config__.extra == "forbid"
    field = VPCConfig.__fields__["retain_peering_cidrs"]
    factory = field.field_info.default_factory
    assert factory is field.default_factory and factory is not None and field.description
    assert factory() == [ipaddress.IPv4Network("0.0.0.0/0")] != field.default
    with tempfile.TemporaryDirectory() as folder:
        path = pathlib.Path(folder, "vpc.json")
        path.write_text(vpc.json())
        assert VPCConfig.parse_file(path) == vpc
    copied = vpc.copy(update={"domain": "d"}, deep=True)
    assert copied.domain == "d" and "domain" in copied.__fields_set__
    pairs: Dict[str, object] = dict(iter(vpc))
    assert pairs["vpc_id"] == vpc.vpc_id and VPCConfig.schema()["title"]


Fault = Tuple[Tuple[object, ...], Optional[Tuple[int, int]]]


def faults(invalid: str) -> List[Fault]:
    """The faults of a document a load refused, with where each one is in its text."""
    try:
        with contextlib.redirect_stdout(io.StringIO()):
            load_from_yaml(invalid, discovery_only=True)
    except SystemExit as stop:
        error = stop.__cause__
        assert isinstance(error, ValidationError) and error.model is DiscoveryConfiguration
        assert error.raw_errors[0].loc_tuple() == tuple(error.errors()[0]["loc"])
        return [(tuple(e["loc"]), at) for e, at in zip(error.errors(), error.positions())]
    raise AssertionError("an invalid document was accepted")


def unplaced_faults() -> List[Fault]:
    _BaseModel.discovery_only = False
    try:
        build_document({"id": "nope"})
    except ValidationError as error:
        return [(tuple(e["loc"]), at) for e, at in zip(error.errors(), error.positions())]
    raise AssertionError("an invalid document was accepted")


def yaml_fault(path: str) -> Tuple[Optional[int], Optional[int]]:
    try:
        load_from_yaml(path)
    except YamlError as error:
        # Where the problem was found (the end, for an unclosed `[`) and what it was found in.
        found, within = error.problem_mark, error.context_mark
        assert found is not None and within is not None and error.context
        assert within.line + 1 == error.line and found.line >= within.line
        return error.line, error.column
    raise AssertionError("malformed YAML was accepted")


def main(document: str, invalid: str, malformed: str) -> None:
    config = load_from_yaml(document)
    assert dump_to_dict(config)["terraform"] and read_sections(config)
    model_api(config.account_info[0].regions[0].vpcs[0])
    assert all(at for _, at in faults(invalid)) and yaml_fault(malformed)[0]
    assert unplaced_faults() == [
        (("id",), None), (("terraform",), None), (("corvane",), None), (("account_info",), None)]
    print("strict host: read every section, the model API and the errors")


if __name__ == "__main__":
    main(sys.argv[1], sys.argv[2], sys.argv[3])
