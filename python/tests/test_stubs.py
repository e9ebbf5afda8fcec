"""The stubs against what records hold: each field of each record that loads and constructors
make has a type its stub declares, and each member of a declared union is held by one of them,
so a stub is neither narrower nor wider than the run time."""

import ast
import functools
import ipaddress
import pathlib
import typing

import pytest
import yaml
from conftest import packaging_module

from tarnwick_config import config_vpc_migration as cvm


def stub_fields():
    """{qualified record name: {field: annotation}}, each annotation evaluated as the stub spells
    it (its own aliases too)."""
    tree = ast.parse(pathlib.Path(cvm.__file__).with_suffix(".pyi").read_text())
    names = {**vars(typing), "IPv4Address": ipaddress.IPv4Address,
             "IPv4Network": ipaddress.IPv4Network, **vars(cvm)}
    for node in tree.body:
        if isinstance(node, ast.Assign):
            exec(compile(ast.Module([node], []), "stub", "exec"), names)
    fields = {}

    def visit(cls, outer):
        fields[outer + cls.name] = {
            node.target.id: eval(ast.unparse(node.annotation), names) for node in cls.body
            if isinstance(node, ast.AnnAssign) and "ClassVar" not in ast.unparse(node.annotation)}
        for inner in cls.body:
            if isinstance(inner, ast.ClassDef):
                visit(inner, outer + cls.name + ".")

    for node in tree.body:
        if isinstance(node, ast.ClassDef):
            visit(node, "")
    return fields


def members(annotation):
    return typing.get_args(annotation) if typing.get_origin(annotation) is typing.Union \
        else (annotation,)


def conforms(value, annotation):
    origin, args = typing.get_origin(annotation), typing.get_args(annotation)
    if origin is typing.Union:
        return any(conforms(value, a) for a in args)
    if origin is typing.Literal:
        return isinstance(value, str) and value in args
    if origin is list:
        return isinstance(value, list) and all(conforms(v, args[0]) for v in value)
    if origin is dict:
        return isinstance(value, dict) and all(conforms(k, args[0]) and conforms(v, args[1])
                                               for k, v in value.items())
    return annotation is typing.Any or isinstance(value, annotation)


def nulled(data, cls):
    """data with every optional field of every record in it given as null."""
    out = {key: None for key, field in cls.__fields__.items() if field.shape[0] == "optional"}
    for key, value in data.items():
        inner = cls.__fields__[key].type_
        if key in out:
            continue
        if isinstance(inner, type) and issubclass(inner, cvm._BaseModel):
            value = [nulled(v, inner) for v in value] if isinstance(value, list) \
                else nulled(value, inner)
        out[key] = value
    return out


def records(examples):
    full = yaml.safe_load((examples / "full.yaml").read_text())
    sparse = nulled(full, cvm.DiscoveryConfiguration)
    del sparse["id"], sparse["terraform"]["tf_cloud"]  # refused as null; absent they are None
    return [
        cvm.load_from_yaml(examples / "full.yaml"),
        cvm.load_from_yaml(examples / "discovery_minimal.yaml", discovery_only=True),
        cvm.build_document(sparse, discovery_only=True),
        cvm.VPCConfig(vpc_id="v", crvn_cidrs=["10.1.0.0/24"], domain="d", enable_spoke_egress=True,
                      hpe=True, inspection=True, max_hpe_performance=False, spoke_gw_size="t3",
                      transit_gw_egress_name="e"),
        cvm.TfCloudConfig(organization="o", workspace_name="w"),
        cvm.SnatPoliciesConfig(connection="c"),
    ]


@functools.lru_cache(maxsize=None)
def held(examples):
    """([(record, field, value, annotation) that does not conform], {(record, field): the
    members of its annotation that some value was})"""
    fields, wrong, seen = stub_fields(), [], {}

    def walk(record):
        for cls in type(record).__mro__:
            for key, annotation in fields.get(cls.__qualname__, {}).items():
                value = getattr(record, key)
                hits = {m for m in members(annotation) if conforms(value, m)}
                if not hits:
                    wrong.append((cls.__qualname__, key, value, annotation))
                seen.setdefault((cls.__qualname__, key), set()).update(hits)
                for item in value if isinstance(value, list) else [value]:
                    if isinstance(item, cvm._BaseModel):
                        walk(item)

    for record in records(examples):
        walk(record)
    unseen = {(name, key): set(members(a)) - seen.get((name, key), set())
              for name, table in fields.items() for key, a in table.items()}
    return wrong, {k: v for k, v in unseen.items() if v}


def test_each_field_holds_a_type_its_stub_declares(examples):
    assert held(examples)[0] == []


def test_each_member_of_a_declared_type_is_held_by_some_record(examples):
    assert held(examples)[1] == {}


def test_a_stored_type_must_name_a_field(monkeypatch):
    make_stubs = packaging_module("make_stubs")
    monkeypatch.setitem(make_stubs.STORED, "TfCloudConfig", {"tag": "str"})
    with pytest.raises(SystemExit, match=r"TfCloudConfig has no field \['tag'\]"):
        make_stubs.stored_types({"name": "TfCloudConfig", "fields": [{"key": "tags"}]})
