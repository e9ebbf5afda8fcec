"""Configuration options for discovery migration."""

# The records and their validation are compiled (_core); this module adds what a failed load does
# in Python: the error report goes through sys.stdout, then SystemExit(1) whose __cause__ is the
# ValidationError.

import ipaddress
import json
import os
import sys
import typing

from . import _core, _errors, _records
from ._errors import ErrorWrapper, ValidationError, YamlError, validated
from ._records import GWName, ModelField, _BaseModel, _default_network, _str

# The record classes join these under their own names once made from the tables (below), so a new
# section is exported without being listed here.
__all__ = [
    "CLEANUP_RESOURCES",
    "GW_NAME_KEYS",
    "REGION_NAMES",
    "ValidationError",
    "YamlError",
    "build_document",
    "dump_to_dict",
    "dump_to_yaml",
    "load_from_dict",
    "load_from_yaml",
]

__version__ = _core.__version__

REGION_NAMES = _core.REGION_NAMES
CLEANUP_RESOURCES = _core.CLEANUP_RESOURCES
# A list: the host may add to it or replace it, and check_config demands the keys it holds when
# the document is loaded (a key that names no VPC field counts as unset).
GW_NAME_KEYS = list(_core.GW_NAME_KEYS)
_records.module_gw_name_keys = lambda: GW_NAME_KEYS


RegionName = typing.Literal[REGION_NAMES]
CleanupResources = typing.Literal[CLEANUP_RESOURCES]
CIDRList = typing.List[ipaddress.IPv4Network]
IPAddressList = typing.List[ipaddress.IPv4Address]
Tag = typing.Dict[str, str]
Tags = typing.List[Tag]


_core._register_errors(_BaseModel, _errors._yaml_error)
_classes = _records.make_classes(__name__)
globals().update(_classes)  # every record class, under its own name
__all__ = sorted(__all__ + [name for name in _classes if "." not in name])
del _classes
TerraformConfig.DEFAULT_MODULE_SOURCE = _core.DEFAULT_MODULE_SOURCE
TerraformConfig.DEFAULT_MODULE_NAME = _core.DEFAULT_MODULE_NAME


# ---------------------------------------------------------------------------------------------
# The checks as class functions of their records. Each runs through the compiled frame: the
# record is built from `values` and the checked value, and the check's fault at its field (or at
# __root__ for a record check) is raised as ValueError with the frame's message.

def _field_check(keys):
    def check(cls, val, values=None, field=None):
        key = getattr(field, "name", None) or keys[0]
        data = dict(values or {})
        data[key] = val
        try:
            built = cls(**data)
        except ValidationError as error:
            for fault in error.errors():
                if fault["loc"][:1] == (key,):
                    raise ValueError(fault["msg"]) from None
            return val
        return getattr(built, key)

    return classmethod(check)


def _record_check(cls, values):
    try:
        cls(**values)
    except ValidationError as error:
        for fault in error.errors():
            if fault["loc"][:1] == ("__root__",):
                raise ValueError(fault["msg"]) from None
    return values


def _register_checks():
    """Each record's checks as class functions, under the names and for the keys the tables
    give (a check named on several rows runs for each of their keys)."""
    for table in _records.TABLES:
        cls = _records._class_named(table["name"])
        keys = {}
        for row in table["fields"]:
            for name in row["checks"]:
                keys.setdefault(name, []).append(row["key"])
        for name, for_keys in keys.items():
            setattr(cls, name, _field_check(tuple(for_keys)))
        for name in table["record_checks"]:
            setattr(cls, name, classmethod(_record_check))


_register_checks()


def _valid_str_attribute(val):
    """Whether val counts as set: not None, and of a length other than 0 (not trimmed: a string
    of blanks counts). A value without a length raises TypeError, as len() does."""
    return val is not None and len(val) != 0


TfCloudConfig.valid_str_attribute = staticmethod(_valid_str_attribute)


def _is_expected_vpc_prefix(ip, prefixes):
    """Whether the network ip lies inside one of the networks of prefixes."""
    return _core._is_expected_vpc_prefix(str(ip), [str(p) for p in prefixes])


DiscoveryConfiguration.isExpectedVpcPrefix = staticmethod(_is_expected_vpc_prefix)


# ---------------------------------------------------------------------------------------------
# The entry points.

def build_document(config_dict, discovery_only=False):
    """Like load_from_dict, but a failed validation raises ValidationError and prints nothing."""
    _require_dict(config_dict)
    _BaseModel.discovery_only = bool(discovery_only)
    return validated(_core._load_dict, config_dict, bool(discovery_only),
                     _records._mode_ids(), _records._gw_name_keys())


def load_from_dict(config_dict, discovery_only=False):
    """Builds the document from a dict of str, int, float, bool, None, list and dict values
    (dates, ipaddress values and records are taken as the text or mapping they stand for).

    A failed validation prints the error JSON and a newline on sys.stdout (when there is a usable
    one), then raises SystemExit(1) from the ValidationError. A config_dict that is not a dict
    raises TypeError.
    """
    return _reported(build_document, config_dict, discovery_only)


def load_from_yaml(yml_path, discovery_only=False):
    """Reads a YAML file (str or os.PathLike) and loads it as load_from_dict does.

    A missing or unreadable file raises OSError (FileNotFoundError, IsADirectoryError,
    PermissionError); a file that is no text in the default encoding UnicodeDecodeError, as
    reading it with open() does; malformed YAML raises YamlError; none prints anything.
    """
    path = os.fspath(yml_path)
    return _reported(_build_from_yaml, path, discovery_only)


def _build_from_yaml(path, discovery_only):
    # The compiled load sets the mode only for a document that is a mapping; so does this.
    try:
        document = validated(_core._load_yaml, path, bool(discovery_only), _records._mode_ids(),
                             _records._gw_name_keys())
    except ValidationError:
        _BaseModel.discovery_only = bool(discovery_only)
        raise
    except YamlError as error:
        undecodable = _decoding_fault(path) if error._stage == "reader" else None
        if undecodable is not None:
            raise undecodable from None
        raise
    _BaseModel.discovery_only = bool(discovery_only)
    return document


def _decoding_fault(path):
    """The UnicodeDecodeError of reading the file as the host's module reads it before PyYAML
    sees a character (open() with the default encoding, read in PyYAML's pieces), or None when it
    reads as text: then the compiled reader's fault stands (a control character)."""
    try:
        with open(path) as text:
            while text.read(4096):
                pass
    except UnicodeDecodeError as error:
        return error
    except OSError:
        pass
    return None


def dump_to_dict(config):
    """Every field of every record in field order as a plain dict: addresses and networks as
    text, an absent tgw as {}, tf_cloud.tags as its text. Any record dumps, a section as well as
    a whole document."""
    if not isinstance(config, _BaseModel):
        raise TypeError(f"config must be a record such as DiscoveryConfiguration, not "
                        f"{type(config).__name__}")
    return json.loads(config.json())


def dump_to_yaml(config, dest):
    """Reserved: writes nothing and reads nothing."""
    return None


def _require_dict(config_dict):
    if not isinstance(config_dict, dict):
        raise TypeError(f"config_dict must be a dict, not {type(config_dict).__name__}")


def _reported(build, source, discovery_only):
    try:
        return build(source, discovery_only)
    except ValidationError as error:
        failure = error
    _report(failure.json() + "\n")
    raise SystemExit(1) from failure


def _report(text):
    """Writes a failed load's report on sys.stdout. Without a usable one (None under pythonw or
    a service manager, closed, or failing to write) the report is left out: the failure is
    still the cause of the SystemExit that follows."""
    try:
        sys.stdout.write(text)
        sys.stdout.flush()
    except Exception:  # None: AttributeError; closed: ValueError; a broken pipe: OSError
        pass
