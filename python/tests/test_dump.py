"""dump_to_dict against the C++ dump, and dump_to_yaml's promise to touch nothing."""

import json

import pytest

from tarnwick_config.config_vpc_migration import dump_to_dict, dump_to_yaml, load_from_yaml


@pytest.mark.parametrize("name, flags", [("full.yaml", []),
                                         ("discovery_minimal.yaml", ["--discovery-only"])])
def test_dump_equals_the_tools_dump(examples, cli, name, flags):
    result = cli("dump", *flags, examples / name)
    assert result.returncode == 0, result.stderr
    config = load_from_yaml(examples / name, discovery_only=bool(flags))
    dumped = dump_to_dict(config=config)
    assert type(dumped) is dict
    # Equal values in the same key order.
    assert json.dumps(dumped) == json.dumps(json.loads(result.stdout))


def test_dump_to_yaml_writes_and_reads_nothing(examples, tmp_path):
    config = load_from_yaml(examples / "full.yaml")
    existing = tmp_path / "existing.yaml"
    existing.write_text("keep: me\n")
    assert dump_to_yaml(config, tmp_path / "new.yaml") is None
    assert dump_to_yaml(config=config, dest=existing) is None
    assert sorted(p.name for p in tmp_path.iterdir()) == ["existing.yaml"]
    assert existing.read_text() == "keep: me\n"


def test_dumps_take_any_record(examples):
    config = load_from_yaml(examples / "full.yaml")
    with pytest.raises(TypeError, match="not dict"):
        dump_to_dict({"terraform": {}})
    whole = dump_to_dict(config)
    assert dump_to_dict(config.terraform) == whole["terraform"]
    assert dump_to_dict(config.account_info[0].regions[0].vpcs[1]) == \
        whole["account_info"][0]["regions"][0]["vpcs"][1]
    assert dump_to_dict(config.aws.s3) == whole["aws"]["s3"]  # a nested record class
