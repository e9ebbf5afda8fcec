"""The entry points: failed loads, argument faults, file and YAML faults, dict conversion and
the process-wide mode."""

import collections
import copy
import contextlib
import errno
import io
import json
import os
import sys

import pytest

from tarnwick_config import _core
from tarnwick_config.config_vpc_migration import (
    ValidationError,
    VPCConfig,
    YamlError,
    _BaseModel,
    build_document,
    load_from_dict,
    load_from_yaml,
)

MAX_DEPTH = 1000  # yaml::kMaxDepth


def failed_load(load, *args, **kwargs):
    """Runs a load that must fail; returns (what it printed on sys.stdout, the SystemExit)."""
    out = io.StringIO()
    with contextlib.redirect_stdout(out), pytest.raises(SystemExit) as info:
        load(*args, **kwargs)
    return out.getvalue(), info.value


def test_failed_yaml_load_prints_the_report_and_exits(examples, capsys, cli):
    with pytest.raises(SystemExit) as info:
        load_from_yaml(examples / "invalid.yaml")
    out = capsys.readouterr().out
    assert info.value.code == 1
    error = info.value.__cause__
    assert isinstance(error, ValidationError) and isinstance(error, ValueError)
    assert out == error.json() + "\n"
    # The tool's report: the same objects, in the same key order, plus where each fault is; the
    # Python report is pydantic's, the positions stand beside it.
    tool = json.loads(cli("check", examples / "invalid.yaml").stdout)
    added = ("line", "column", "file", "end_line", "end_column", "severity", "rule", "hint",
             "fix")
    assert [[(k, v) for k, v in e.items() if k not in added] for e in tool] == [
        list(e.items()) for e in json.loads(out)]
    assert error.positions() == [(e["line"], e["column"]) for e in tool]

    errors = error.errors()
    assert errors[0] == {"loc": ("id",), "msg": "id must be one of ['vpc_migration', "
                         "'vpc_discovery']", "type": "value_error"}
    assert all(isinstance(e["loc"], tuple) for e in errors)
    assert json.loads(json.dumps(errors)) == json.loads(out)
    permitted = errors[6]["ctx"]["permitted"]  # tuples in ctx, as pydantic's
    assert isinstance(permitted, tuple) and "us-east-1" in permitted
    assert str(error).startswith(f"{len(errors)} validation errors for DiscoveryConfiguration\n")
    errors[0]["msg"] = "changed"
    assert error.errors()[0]["msg"] != "changed"


def test_failed_dict_load_reports_without_positions(minimal_dict):
    minimal_dict["account_info"][0]["regions"][0]["vpcs"][0]["crvn_cidr"] = "10.0.0.7/24"
    out, exit_ = failed_load(load_from_dict, config_dict=minimal_dict)
    assert exit_.code == 1
    (error,) = exit_.__cause__.errors()
    assert error["loc"] == ("account_info", 0, "regions", 0, "vpcs", 0, "crvn_cidr")
    assert "did you mean 10.0.0.0/24?" in error["msg"] and "line" not in error
    assert out == exit_.__cause__.json() + "\n"


def test_build_document_raises_without_printing(minimal_dict, capsys):
    del minimal_dict["terraform"]
    with pytest.raises(ValidationError) as info:
        build_document(minimal_dict)
    assert info.value.errors()[0]["type"] == "value_error.missing"
    assert info.value.__context__ is None
    assert capsys.readouterr().out == ""


@pytest.mark.parametrize("value", [[], "terraform: {}", None, collections.UserDict()])
def test_a_config_dict_that_is_no_dict_is_a_type_error(value, capsys):
    with pytest.raises(TypeError, match="config_dict"):
        load_from_dict(value)
    assert capsys.readouterr().out == ""


def test_file_faults_are_os_errors(tmp_path, capsys):
    missing = tmp_path / "missing.yaml"
    with pytest.raises(FileNotFoundError) as info:
        load_from_yaml(missing)
    assert (info.value.errno, info.value.filename) == (errno.ENOENT, str(missing))
    with pytest.raises(IsADirectoryError):
        load_from_yaml(yml_path=str(tmp_path))
    with pytest.raises(TypeError):
        load_from_yaml(42)
    assert capsys.readouterr().out == ""


def test_yaml_faults_carry_the_position(tmp_path):
    path = tmp_path / "broken.yaml"
    path.write_text("terraform:\n  terraform_output: [a, b\n")
    with pytest.raises(YamlError) as info:
        load_from_yaml(path)
    assert isinstance(info.value, ValueError)
    assert str(info.value).startswith(f"{path}:{info.value.line}:{info.value.column}: ")
    assert info.value.line == 2 and info.value.file == str(path)


def test_dict_values_convert_as_yaml_scalars_would(examples, minimal_dict, tmp_path):
    account = minimal_dict["account_info"][0]
    account.update(account_id=2**70, hpe=0, spoke_ha=1, regions=tuple(account["regions"]))
    account["regions"][0]["vpcs"][0]["spoke_gw_tags"] = [{"Name": "a", 7: 8}]
    config = load_from_dict(collections.OrderedDict(minimal_dict))
    account = config.account_info[0]
    assert account.account_id == "1180591620717411303424"  # beyond 64 bits: its digits
    assert (account.hpe, account.spoke_ha) == (False, True)
    assert account.regions[0].vpcs[0].spoke_gw_tags == [{"Name": "a", "7": "8"}]

    # Bools are not taken for the ints they subclass.
    minimal_dict["account_info"][0]["regions"][0]["region"] = True
    _, exit_ = failed_load(load_from_dict, minimal_dict)
    assert exit_.__cause__.errors()[0]["ctx"]["given"] is True


def test_same_document_from_yaml_and_from_dict(minimal_dict, tmp_path):
    path = tmp_path / "minimal.yaml"
    path.write_text(json.dumps(minimal_dict))  # JSON is YAML
    assert load_from_dict(minimal_dict) == load_from_yaml(path)


def test_non_string_keys_are_validation_errors_at_the_key(minimal_dict):
    minimal_dict.update({5: "x", None: 1, (1, 2): 3})
    _, exit_ = failed_load(load_from_dict, minimal_dict)
    locs = [e["loc"] for e in exit_.__cause__.errors()]
    assert locs == [("5",), ("null",), ("<sequence>",)]


@pytest.mark.parametrize("path, where", [((), "config_dict"),
                                         (("account_info", 0), "config_dict['account_info'][0]")])
def test_a_key_of_no_scalar_kind_is_a_type_error_naming_its_mapping(minimal_dict, path, where):
    mapping = minimal_dict
    for step in path:
        mapping = mapping[step]
    mapping[frozenset()] = 1
    with pytest.raises(TypeError) as info:
        build_document(minimal_dict)
    assert str(info.value).startswith(f"{where} has a key of type frozenset;")


@pytest.mark.parametrize("value", [{"a"}, object(), b"a", 1j])
def test_unreadable_values_are_validation_errors_at_their_place(minimal_dict, value):
    vpc = minimal_dict["account_info"][0]["regions"][0]["vpcs"][0]
    vpc.update(gw_zones=value, domain=value)  # a list and an optional text
    _, exit_ = failed_load(load_from_dict, minimal_dict)
    errors = exit_.__cause__.errors()
    place = ("account_info", 0, "regions", 0, "vpcs", 0)
    assert [e["loc"] for e in errors] == [place + ("gw_zones",), place + ("domain",)]
    assert all(f"value of type {type(value).__name__} cannot be read" in e["msg"]
               for e in errors)
    assert all(type(w.exc) is TypeError for w in exit_.__cause__.raw_errors)  # type_error

    # One unreadable value alone is refused as well (it must not load as the null standing in).
    alone = copy.deepcopy(minimal_dict)
    del alone["account_info"][0]["regions"][0]["vpcs"][0]["gw_zones"]
    _, exit_ = failed_load(load_from_dict, alone)
    assert [e["loc"] for e in exit_.__cause__.errors()] == [place + ("domain",)]

    # Beside the document's own faults; and in a keyword constructor, even where the null that
    # stands in for the value would have been accepted.
    vpc["crvn_cidr"] = "10.0.0.7/24"
    _, exit_ = failed_load(load_from_dict, minimal_dict)
    assert [e["loc"][-1] for e in exit_.__cause__.errors()] == ["crvn_cidr", "gw_zones", "domain"]
    with pytest.raises(ValidationError) as info:
        VPCConfig(vpc_id="v", domain=value)
    assert [e["loc"] for e in info.value.errors()] == [("domain",)]
    with pytest.raises(ValidationError) as info:
        VPCConfig(vpc_id="v", gw_zones=["a", value])
    assert [e["loc"] for e in info.value.errors()] == [("gw_zones", 1)]  # an index, not "1"


def nested(levels):
    value = []
    for _ in range(levels - 1):
        value = [value]
    return value


def test_nesting_is_limited_as_in_yaml(minimal_dict):
    minimal_dict["deep"] = nested(MAX_DEPTH - 1)  # the root mapping is the first level
    _, exit_ = failed_load(load_from_dict, minimal_dict)
    assert exit_.__cause__.errors()[-1]["loc"] == ("deep",)

    minimal_dict["deep"] = nested(MAX_DEPTH)
    with pytest.raises(ValueError, match="deeper than 1000"):
        load_from_dict(minimal_dict)
    cycle = {}
    cycle["again"] = cycle
    minimal_dict["deep"] = cycle
    with pytest.raises(ValueError, match="deeper than 1000"):
        load_from_dict(minimal_dict)


def list_bomb():
    bomb = ["lol"] * 10
    for _ in range(8):
        bomb = [bomb] * 10
    return bomb


def dict_bomb():
    bomb = {f"k{i}": "lol" for i in range(100)}
    for _ in range(4):
        bomb = {f"k{i}": bomb for i in range(10)}
    return bomb


# A shared list or dict counts once among the values read, however often it is met.
@pytest.mark.parametrize("make_bomb", [list_bomb, dict_bomb])
def test_shared_containers_are_limited_as_yaml_aliases(minimal_dict, make_bomb):
    tags = [{"team": "net"}]
    vpcs = minimal_dict["account_info"][0]["regions"][0]["vpcs"]
    vpcs.append({"vpc_id": "vpc-2"})
    for vpc in vpcs:
        vpc["spoke_gw_tags"] = tags
    config = load_from_dict(minimal_dict)  # a little sharing is fine
    assert [vpc.spoke_gw_tags for vpc in config.account_info[0].regions[0].vpcs] == [tags, tags]

    minimal_dict["bomb"] = make_bomb()
    with pytest.raises(ValueError, match="expansion limit"):
        load_from_dict(minimal_dict)


# {"bomb": [shared] * m} with a shared list of k texts stands for 3 + m * (1 + k) values; with a
# shared dict of k entries (a key and a value each), 3 + m * (1 + 2k). Past a million the limit
# is ten times the values read, each shared container once: 5 + m + k, or 5 + m + 2k.
@pytest.mark.parametrize("m, k, kind, refused", [
    (757, 1320, list, False), (254, 3936, list, True),
    (10, 50000, dict, False),  # 1,000,013 values of 1,000,150
])
def test_the_expansion_limit_itself(m, k, kind, refused):
    shared = ["x"] * k if kind is list else dict.fromkeys(map(str, range(k)), "x")
    with pytest.raises(ValueError, match="expansion limit" if refused else "validation error"):
        build_document({"bomb": [shared] * m})


# A file name that is not UTF-8 comes back as the name the file was opened by.
def test_a_file_name_in_no_encoding_is_kept(tmp_path):
    path = tmp_path / os.fsdecode(b"bad\xff.yaml")
    path.write_text("a: [1\n")
    with pytest.raises(YamlError) as info:
        load_from_yaml(path)
    assert info.value.file == str(path) and str(path) in str(info.value)


def test_discovery_only_reads_the_mode_of_the_latest_load(examples):
    config = load_from_yaml(examples / "discovery_minimal.yaml", discovery_only=True)
    assert _BaseModel.discovery_only is True
    assert VPCConfig.discovery_only is True and config.discovery_only is True

    load_from_yaml(examples / "full.yaml")
    assert _BaseModel.discovery_only is False

    failed_load(load_from_yaml, examples / "invalid.yaml", discovery_only=True)
    assert _BaseModel.discovery_only is True  # set before validating
    for build in (build_document, lambda d, discovery_only: failed_load(
            load_from_dict, d, discovery_only=discovery_only)):
        for mode in (False, True):
            with contextlib.suppress(ValidationError):
                build({"id": 1}, discovery_only=mode)
            assert _BaseModel.discovery_only is mode
    with pytest.raises(TypeError):
        load_from_dict([], discovery_only=False)
    assert _BaseModel.discovery_only is True  # untouched by a refused argument

    # The mode decides: the minimal discovery document is no migration document.
    _, exit_ = failed_load(load_from_yaml, examples / "discovery_minimal.yaml")
    assert _BaseModel.discovery_only is False
    assert ("corvane",) in [e["loc"] for e in exit_.__cause__.errors()]


# The benchmark's load without the conversion fails as the load with it does.
@pytest.mark.parametrize("name, text, failure", [
    ("invalid.yaml", None, _core._ValidationFailure),
    ("broken.yaml", "terraform:\n  a: [b\n", YamlError),
    ("list.yaml", "- a\n", TypeError),
    ("missing.yaml", None, FileNotFoundError),
])
def test_the_load_without_conversion_fails_alike(examples, tmp_path, name, text, failure):
    path = examples / name if name == "invalid.yaml" else tmp_path / name
    if text is not None:
        path.write_text(text)
    for load in (_core._load_only, _core._load_yaml):
        with pytest.raises(failure):
            load(str(path), False, None)
    assert _core._load_only(str(examples / "full.yaml"), False, None) is None


class RefusingOutput(io.StringIO):
    def write(self, text):
        raise BrokenPipeError(errno.EPIPE, "Broken pipe")


def closed_output():
    out = io.StringIO()
    out.close()
    return out


# Without a usable standard output (pythonw, a service manager, a closed or broken pipe) the
# report is left out, and the failure is the same SystemExit(1) from the ValidationError.
@pytest.mark.parametrize("make_stdout", [lambda: None, closed_output, RefusingOutput],
                         ids=["none", "closed", "refusing"])
def test_a_failed_load_without_a_usable_stdout_still_exits(examples, minimal_dict, monkeypatch,
                                                           make_stdout):
    del minimal_dict["terraform"]
    for load, source in ((load_from_yaml, examples / "invalid.yaml"),
                         (load_from_dict, minimal_dict)):
        monkeypatch.setattr(sys, "stdout", make_stdout())
        with pytest.raises(SystemExit) as info:
            load(source)
        monkeypatch.undo()
        assert info.value.code == 1 and isinstance(info.value.__cause__, ValidationError)


# The host's module opens the file as text, so a file that does not decode fails in Python's
# decoding, before PyYAML reads a character: the same UnicodeDecodeError here. A control
# character in text that decodes is PyYAML's ReaderError, as before.
def test_a_file_that_is_no_text_fails_as_reading_it_as_text_does(tmp_path, capsys):
    yaml = pytest.importorskip("yaml")
    path = tmp_path / "latin1.yaml"
    path.write_bytes(b"id: vpc_migration\nlabel: " + b"x" * 9000 + b"caf\xe9\n")
    with pytest.raises(UnicodeDecodeError) as ours:
        load_from_yaml(path)
    with pytest.raises(UnicodeDecodeError) as theirs, open(path) as text:
        yaml.load(text, Loader=yaml.FullLoader)
    assert ours.value.args == theirs.value.args
    assert ours.value.__cause__ is None and ours.value.__suppress_context__
    path.write_bytes(b"id: vpc_migration\x01\n")
    with pytest.raises(yaml.reader.ReaderError):
        load_from_yaml(path)
    assert capsys.readouterr().out == ""
