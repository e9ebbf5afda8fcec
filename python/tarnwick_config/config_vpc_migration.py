"""Configuration of a discovery and migration run: the records of a migration document and the
functions that load, validate and dump one.

The records and their validation are compiled (_config_vpc_migration); this module adds what a
failed load does in Python: the error report goes through sys.stdout, then SystemExit(1) whose
__cause__ is the ValidationError.
"""

import copy
import os
import sys

from . import _config_vpc_migration as _compiled
from ._config_vpc_migration import (
    CLEANUP_RESOURCES,
    GW_NAME_KEYS,
    REGION_NAMES,
    AccountInfo,
    AlertConfig,
    BackupConfig,
    CleanupConfig,
    CorvaneConfig,
    DiscoveryConfiguration,
    ModeIdConfig,
    Region,
    ScriptConfig,
    SnatPoliciesConfig,
    SwitchTrafficConfig,
    TerraformConfig,
    TfCloudConfig,
    TfControllerAccessConfig,
    TGWConfig,
    VPCConfig,
    YamlError,
    _BaseModel,
    dump_to_dict,
    dump_to_yaml,
)

__all__ = [
    "AccountInfo",
    "AlertConfig",
    "BackupConfig",
    "CLEANUP_RESOURCES",
    "CleanupConfig",
    "CorvaneConfig",
    "DiscoveryConfiguration",
    "GW_NAME_KEYS",
    "ModeIdConfig",
    "REGION_NAMES",
    "Region",
    "ScriptConfig",
    "SnatPoliciesConfig",
    "SwitchTrafficConfig",
    "TGWConfig",
    "TerraformConfig",
    "TfCloudConfig",
    "TfControllerAccessConfig",
    "VPCConfig",
    "ValidationError",
    "YamlError",
    "build_document",
    "dump_to_dict",
    "dump_to_yaml",
    "load_from_dict",
    "load_from_yaml",
]


class ValidationError(ValueError):
    """Every fault of one document, in the order found.

    errors() lists them as dicts: loc (a tuple of keys and list indexes), msg, type, and ctx,
    line and column when known. json() is the report a failed load prints. str() summarises.
    """

    def __init__(self, model, summary, json_text, errors):
        super().__init__(summary)
        self.model = model
        self._json = json_text
        self._errors = errors

    def errors(self):
        return copy.deepcopy(self._errors)

    def json(self):
        return self._json

    def __reduce__(self):
        return (type(self), (self.model, str(self), self._json, self._errors))


def build_document(config_dict, discovery_only=False):
    """Like load_from_dict, but a failed validation raises ValidationError and prints nothing."""
    _require_dict(config_dict)
    return _validated(_compiled._build_from_dict, config_dict, discovery_only)


def load_from_dict(config_dict, discovery_only=False):
    """Builds the document from a dict of str, int, float, bool, None, list and dict values.

    A failed validation prints the error JSON and a newline on sys.stdout, then raises
    SystemExit(1) from the ValidationError. A config_dict that is not a dict raises TypeError.
    """
    _require_dict(config_dict)
    return _reported(_compiled._build_from_dict, config_dict, discovery_only)


def load_from_yaml(yml_path, discovery_only=False):
    """Reads a YAML file (str or os.PathLike) and loads it as load_from_dict does.

    A missing or unreadable file raises OSError (FileNotFoundError, IsADirectoryError,
    PermissionError); malformed YAML raises YamlError; neither prints anything.
    """
    return _reported(_compiled._build_from_yaml, os.fspath(yml_path), discovery_only)


def _require_dict(config_dict):
    if not isinstance(config_dict, dict):
        raise TypeError(f"config_dict must be a dict, not {type(config_dict).__name__}")


def _validated(build, source, discovery_only):
    try:
        return build(source, discovery_only)
    except _compiled._ValidationFailure as failure:
        args = failure.args
    # Raised outside the handler so that the private failure is not chained as its context.
    raise ValidationError(*args)


def _reported(build, source, discovery_only):
    try:
        return _validated(build, source, discovery_only)
    except ValidationError as error:
        failure = error
    sys.stdout.write(failure.json() + "\n")
    sys.stdout.flush()
    raise SystemExit(1) from failure


# The records' public home is this module: help() and error messages name it.
for _cls in [
    c for c in vars(_compiled).values() if isinstance(c, type) and issubclass(c, _BaseModel)
] + [BackupConfig.S3Config]:
    _cls.__module__ = __name__
del _cls
