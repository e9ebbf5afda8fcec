"""The compiled module in a host-like tree: the host's own tarnwick package with its Globals and the
drop-in module, run by a program written against the pure-Python module, in both sys.path
orders."""

import importlib.util
import json
import os
import pathlib
import shutil
import subprocess
import sys

import pytest

HOST_PROGRAM = '''
import copy, multiprocessing, sys
import yaml
import tarnwick.hosts_own  # the host's package is not hidden by the module's
from tarnwick.core import config_vpc_migration as cvm
from tarnwick.core.config_vpc_migration import (
    CIDRList, GWName, RegionName, Tags, VPCConfig, _BaseModel, _default_network, _str,
    load_from_dict, load_from_yaml)

assert cvm.__doc__ == "Configuration options for discovery migration."
assert sys.modules["tarnwick.core.config_vpc_migration"] is cvm
keys = cvm.GW_NAME_KEYS + ["transit_gw_egress_name"]

config = load_from_yaml(sys.argv[1])
vpc = config.account_info[0].regions[0].vpcs[0]
vpc.gw_zones.append("c")
config.account_info.append(config.account_info[1].copy(deep=True))
dumped = cvm.dump_to_dict(config)
assert dumped["account_info"][0]["regions"][0]["vpcs"][0]["gw_zones"][-1] == "c"
assert len(dumped["account_info"]) == 3
del config.account_info[-1]
vpc.gw_zones.pop()

with open(sys.argv[1]) as f:
    raw = yaml.load(f, Loader=yaml.FullLoader)
raw["id"] = "vpc_extra"
assert load_from_dict(raw) == config.copy(update={"id": "vpc_extra"})  # the host's Globals add it

_BaseModel.discovery_only = True
assert VPCConfig(vpc_id="vpc-1", encrypt_key="k").encrypt_key == "k"

with multiprocessing.Pool(1) as pool:  # records cross processes pickled
    assert pool.apply(copy.deepcopy, (config,)) == config

try:
    load_from_yaml(sys.argv[2])
except yaml.YAMLError as error:
    print("yaml error at line", error.problem_mark.line + 1)
'''


@pytest.fixture
def host_tree(tmp_path):
    core = tmp_path / "host" / "tarnwick" / "core"
    core.mkdir(parents=True)
    (core.parent / "__init__.py").write_text('"""The host."""\n')
    (core.parent / "hosts_own.py").write_text("")
    (core / "__init__.py").write_text("")
    (core / "Globals.py").write_text(
        'VPC_MIGRATION_ModeIds = ["vpc_migration", "vpc_discovery", "vpc_extra"]\n')
    shutil.copy(os.environ["TARNWICK_DROPIN"], core / "config_vpc_migration.py")
    (tmp_path / "program.py").write_text(HOST_PROGRAM)
    (tmp_path / "broken.yaml").write_text("terraform:\n  a: [b\n")
    return tmp_path


@pytest.mark.parametrize("host_first", [True, False])
def test_a_host_program_runs_unchanged(host_tree, examples, host_first):
    built = os.path.abspath(next(p for p in os.environ["PYTHONPATH"].split(os.pathsep) if p))
    paths = [str(host_tree / "host"), built]
    env = dict(os.environ, PYTHONPATH=os.pathsep.join(paths if host_first else paths[::-1]))
    result = subprocess.run([sys.executable, str(host_tree / "program.py"),
                             str(examples / "full.yaml"), str(host_tree / "broken.yaml")],
                            capture_output=True, text=True, env=env, cwd=host_tree)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "yaml error at line 3\n"  # as PyYAML marks it: the end of the text


def test_without_the_hosts_globals_the_built_in_ids_hold(minimal_dict):
    from tarnwick_config.config_vpc_migration import ValidationError, build_document

    minimal_dict["id"] = "vpc_extra"
    with pytest.raises(ValidationError) as info:
        build_document(minimal_dict)
    assert info.value.errors()[0]["msg"] == \
        "id must be one of ['vpc_migration', 'vpc_discovery']"


def built_from_yaml(config_dict, tmp_path):
    """build_document by way of a file: load_from_yaml, its ValidationError unreported."""
    from tarnwick_config.config_vpc_migration import load_from_yaml

    path = tmp_path / "config.yaml"
    path.write_text(json.dumps(config_dict))  # JSON is YAML
    try:
        return load_from_yaml(path)
    except SystemExit as stop:
        raise stop.__cause__ from None


# The host's list is taken as it is, from a dict or a file: an empty one allows no id, not the
# built-in ones.
@pytest.mark.parametrize("from_file", [False, True])
@pytest.mark.parametrize("ids, mode_id, allowed", [(["vpc_extra"], "vpc_extra", True),
                                                   ([], "vpc_migration", False)])
def test_the_hosts_mode_ids_decide(minimal_dict, monkeypatch, tmp_path, ids, mode_id, allowed,
                                   from_file):
    import types
    from tarnwick_config.config_vpc_migration import ValidationError, build_document

    def build(config_dict):
        return built_from_yaml(config_dict, tmp_path) if from_file else build_document(config_dict)

    monkeypatch.setitem(sys.modules, "tarnwick.core.Globals",
                        types.SimpleNamespace(VPC_MIGRATION_ModeIds=ids))
    minimal_dict["id"] = mode_id
    if allowed:
        assert build(minimal_dict).id == mode_id
        return
    with pytest.raises(ValidationError) as info:
        build(minimal_dict)
    assert [e["loc"] for e in info.value.errors()] == [("id",)]


# Run apart, so that no other test's imports are in sys.modules: the optional libraries wait until
# a fault needs their classes.
OPTIONAL_PROGRAM = '''
import importlib, importlib.util, sys

def optional():
    return sorted(m for m in sys.modules if m.partition(".")[0] in ("yaml", "pydantic"))

importlib.import_module(sys.argv[1])
print("import", optional())
from tarnwick_config import config_vpc_migration as cvm
cvm.load_from_yaml(sys.argv[2])
print("load", optional())
try:
    cvm.load_from_yaml(sys.argv[3])
except cvm.YamlError as error:
    loaded = "yaml" in sys.modules
    pyyaml = importlib.util.find_spec("yaml") is None or isinstance(error, sys.modules["yaml"].YAMLError)
    print("fault", loaded, pyyaml)
'''


@pytest.mark.parametrize("module", ["tarnwick_config", "tarnwick_config.config_vpc_migration",
                                    "tarnwick.core.config_vpc_migration"])
def test_the_optional_libraries_wait_for_a_fault(host_tree, examples, module):
    built = os.path.abspath(next(p for p in os.environ["PYTHONPATH"].split(os.pathsep) if p))
    env = dict(os.environ, PYTHONPATH=os.pathsep.join([str(host_tree / "host"), built]))
    (host_tree / "optional.py").write_text(OPTIONAL_PROGRAM)
    result = subprocess.run([sys.executable, str(host_tree / "optional.py"), module,
                             str(examples / "full.yaml"), str(host_tree / "broken.yaml")],
                            capture_output=True, text=True, env=env, cwd=host_tree)
    assert result.returncode == 0, result.stderr
    installed = importlib.util.find_spec("yaml") is not None
    assert result.stdout.splitlines() == ["import []", "load []", f"fault {installed} True"]
