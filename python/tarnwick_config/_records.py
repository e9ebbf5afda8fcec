"""The record classes, made from the compiled field tables, with the model API of pydantic 1.

A record is a plain object: its fields live in its __dict__, set once when the compiled side
converts a built record, so reading one costs what reading any attribute does. Building from
keyword values goes through the compiled frame, exactly as a load does.
"""

import copy as _copy
import importlib
import inspect
import ipaddress
import json
import re
import sys
import typing

from . import _core, _errors


def _mode_ids():
    """The host's migration-mode ids as they are now, or None for the built-in ones."""
    globals_module = sys.modules.get("tarnwick.core.Globals")
    if globals_module is None:
        try:
            from tarnwick.core import Globals as globals_module  # the host's shared constants
        except ImportError:
            return None
    ids = getattr(globals_module, "VPC_MIGRATION_ModeIds", None)
    return None if ids is None else [str(i) for i in ids]


# The keys check_config demands in every VPC when gateway naming is on: the module's
# GW_NAME_KEYS, which the host may add to or replace. The module sets the function that reads it.
_BUILT_IN_GW_NAME_KEYS = list(_core.GW_NAME_KEYS)
module_gw_name_keys = lambda: _BUILT_IN_GW_NAME_KEYS  # noqa: E731


def _gw_name_keys():
    """The module's GW_NAME_KEYS as they are now, or None while they are the built-in ones."""
    keys = module_gw_name_keys()
    return None if keys == _BUILT_IN_GW_NAME_KEYS else [str(k) for k in keys]


class FieldInfo:
    """A field's declaration as pydantic 1's Field() keeps it."""

    __slots__ = ("default", "default_factory", "description", "extra")

    def __init__(self, default, default_factory, description):
        self.default, self.default_factory, self.description = default, default_factory, description
        self.extra = {}

    def __repr__(self):
        return f"FieldInfo(default={self.default!r}, description={self.description!r})"


def _default_network():
    """The default of the network lists that allow everything: a new list holding 0.0.0.0/0."""
    return [ipaddress.IPv4Network("0.0.0.0/0")]


def _factory_of(default):
    """The factory a mutable default is declared with (a list, a mapping or a record is made
    afresh for every record that takes it), or None for a constant default."""
    if isinstance(default, _BaseModel):
        return type(default)
    if default == [] or default == {}:
        return type(default)
    if default == _default_network():
        return _default_network
    if isinstance(default, (list, dict)):
        return lambda: _copy.deepcopy(default)
    return None


class ModelField:
    """What the model API tells about one field, with the attributes of pydantic 1's."""

    __slots__ = ("name", "alias", "required", "default", "default_factory", "outer_type_",
                 "type_", "description", "field_info", "shape")

    def __init__(self, name, required, default, outer_type, type_, description, shape):
        factory = None if required else _factory_of(default)
        self.name = self.alias = name
        self.required = required
        self.default = None if factory else default
        self.default_factory = factory
        self.outer_type_, self.type_, self.description, self.shape = (
            outer_type, type_, description, shape)
        self.field_info = FieldInfo(... if required else self.default, factory, description)

    @property
    def allow_none(self):
        return self.shape[0] in ("optional", "or_empty")

    def get_default(self):
        if self.default_factory is not None:
            return self.default_factory()
        return _copy.deepcopy(self.default)

    def __repr__(self):
        default = "" if self.required else f", default={self.get_default()!r}"
        return f"ModelField(name='{self.name}', type={self.outer_type_!r}, " \
               f"required={self.required}{default})"


def _sub(selection, key):
    """The part of an include/exclude selection that applies inside `key` (None: all of it)."""
    if not isinstance(selection, dict):
        return None
    inner = selection.get(key, selection.get("__all__"))
    return None if inner is True or inner is ... else inner


def _wanted(key, include, exclude):
    if include is not None and key not in include and "__all__" not in include:
        return False
    if exclude is None or (key not in exclude and "__all__" not in exclude):
        return True
    inner = exclude.get(key, exclude.get("__all__")) if isinstance(exclude, dict) else True
    return not (inner is True or inner is ...)


def _plain(value, include, exclude, flags):
    if isinstance(value, _BaseModel):
        return value.dict(include=include, exclude=exclude, **flags)
    if isinstance(value, dict):
        return {k: _plain(v, _sub(include, k), _sub(exclude, k), flags)
                for k, v in value.items() if _wanted(k, include, exclude)}
    if isinstance(value, (list, tuple)):
        return type(value)(_plain(v, _sub(include, i), _sub(exclude, i), flags)
                           for i, v in enumerate(value) if _wanted(i, include, exclude))
    return value


def _encode(value):
    if isinstance(value, (ipaddress.IPv4Address, ipaddress.IPv4Network)):
        return str(value)
    if isinstance(value, _BaseModel):
        return value.dict()
    raise TypeError(f"Object of type '{type(value).__name__}' is not JSON serializable")


class _BaseModel:
    """The base of every record. discovery_only is the mode in which records are built: every load
    sets it to its own mode, and a keyword constructor builds in the mode it holds."""

    __slots__ = ("__dict__", "__fields_given__", "__weakref__")
    __fields__ = {}
    # A loaded record keeps its given keys as bits until they are read: a set made per record
    # would cost a load as much as all its strings.
    __fields_set__ = property(_core._fields_set, _core._set_fields_set,
                              lambda self: object.__delattr__(self, "__fields_given__"),
                              "The keys the record's input gave.")

    class Config:
        """The settings every record is built with, as pydantic 1 names them."""

        extra = "forbid"
        json_encoders = {ipaddress.IPv4Address: str, ipaddress.IPv4Network: str}
        validate_assignment = False

    __config__ = Config
    _record_name = None
    discovery_only = False

    def __init__(__tarnwick_self__, **data):  # named so that no field name is taken
        cls = type(__tarnwick_self__)
        built = _errors.validated(_core._build, cls._record_name, data,
                                  bool(_BaseModel.discovery_only), _mode_ids(), _gw_name_keys())
        object.__setattr__(__tarnwick_self__, "__dict__", built.__dict__)
        object.__setattr__(__tarnwick_self__, "__fields_set__", set(data) & set(cls.__fields__))

    # Assignment stores without validating, as pydantic 1 does by default.
    def __setattr__(self, name, value):
        if name == "__fields_set__":
            object.__setattr__(self, name, value)
            return
        if name not in self.__fields__:
            raise ValueError(f'"{type(self).__name__}" object has no field "{name}"')
        self.__dict__[name] = value
        self.__fields_set__.add(name)

    def __getstate__(self):
        return {"__dict__": self.__dict__, "__fields_set__": self.__fields_set__}

    def __setstate__(self, state):
        object.__setattr__(self, "__dict__", dict(state["__dict__"]))
        object.__setattr__(self, "__fields_set__", set(state["__fields_set__"]))

    def __iter__(self):
        yield from self.__dict__.items()

    def __eq__(self, other):
        if isinstance(other, _BaseModel):
            return self.dict() == other.dict()
        return self.dict() == other

    __hash__ = None  # mutable, as pydantic 1's models

    def __repr_args__(self):
        return list(self.__dict__.items())

    def __str__(self):
        return " ".join(f"{k}={v!r}" for k, v in self.__dict__.items())

    def __repr__(self):
        args = ", ".join(f"{k}={v!r}" for k, v in self.__dict__.items())
        return f"{type(self).__qualname__}({args})"

    def _iter(self, include, exclude, exclude_unset, exclude_defaults, exclude_none):
        fields = self.__fields__
        for key, value in self.__dict__.items():
            if not _wanted(key, include, exclude):
                continue
            if exclude_unset and key not in self.__fields_set__:
                continue
            if exclude_defaults and key in fields and not fields[key].required \
                    and value == fields[key].default:
                continue
            if exclude_none and value is None:
                continue
            yield key, value

    def dict(self, *, include=None, exclude=None, by_alias=False, skip_defaults=None,
             exclude_unset=False, exclude_defaults=False, exclude_none=False):
        """The fields as a dict, nested records as dicts, in field order."""
        exclude_unset = exclude_unset or bool(skip_defaults)
        flags = {"exclude_unset": exclude_unset, "exclude_defaults": exclude_defaults,
                 "exclude_none": exclude_none}
        return {key: _plain(value, _sub(include, key), _sub(exclude, key), flags)
                for key, value in self._iter(include, exclude, exclude_unset, exclude_defaults,
                                             exclude_none)}

    def json(self, *, include=None, exclude=None, by_alias=False, skip_defaults=None,
             exclude_unset=False, exclude_defaults=False, exclude_none=False, encoder=None,
             **dumps_kwargs):
        """The fields as JSON text; addresses and networks as their text."""
        data = self.dict(include=include, exclude=exclude, skip_defaults=skip_defaults,
                         exclude_unset=exclude_unset, exclude_defaults=exclude_defaults,
                         exclude_none=exclude_none)
        return json.dumps(data, default=encoder or _encode, **dumps_kwargs)

    def copy(self, *, include=None, exclude=None, update=None, deep=False):
        """A copy, unvalidated like pydantic 1's: `update` values are taken as given."""
        values = dict(self._iter(include, exclude, False, False, False))
        values.update(update or {})
        if deep:
            values = _copy.deepcopy(values)
        new = type(self).__new__(type(self))
        object.__setattr__(new, "__dict__", values)
        object.__setattr__(new, "__fields_set__", self.__fields_set__ | set(update or ()))
        return new

    @classmethod
    def construct(cls, _fields_set=None, **values):
        """A record from trusted values, unvalidated; absent fields take their defaults."""
        data = {k: f.get_default() for k, f in cls.__fields__.items() if not f.required}
        data.update(values)
        new = cls.__new__(cls)
        object.__setattr__(new, "__dict__", data)
        object.__setattr__(new, "__fields_set__", set(values) if _fields_set is None
                           else set(_fields_set))
        return new

    @classmethod
    def parse_obj(cls, obj):
        """A record from a mapping (or pairs, or another record's fields); anything else fails
        validation at __root__, as pydantic 1 reports it."""
        if isinstance(obj, cls):
            return obj.copy()
        return cls(**_as_dict(obj, lambda: _errors._validation_error(cls, [{
            "loc": ["__root__"], "msg": f"{cls.__name__} expected dict not {type(obj).__name__}",
            "type": "type_error"}])))

    @classmethod
    def validate(cls, value):
        """A record from a record (copied) or a mapping (built); what a host's pydantic model
        calls for a field of this type."""
        if isinstance(value, cls):
            return value.copy()
        return cls(**_as_dict(value, lambda: _errors._fault_class("type_error.dict")(
            "value is not a valid dict")))

    @classmethod
    def __get_validators__(cls):
        _hook_pydantic()  # pydantic meets a record class as a field type
        yield cls.validate

    @classmethod
    def __modify_schema__(cls, field_schema):
        field_schema.update(cls.schema())

    @classmethod
    def parse_raw(cls, b, *, content_type=None, encoding="utf8", proto=None,
                  allow_pickle=False):
        """A record from JSON text (str or bytes); text that is no JSON is a fault at
        __root__, as pydantic 1 reports it."""
        try:
            obj = json.loads(b.decode(encoding) if isinstance(b, bytes) else b)
        except (ValueError, UnicodeDecodeError) as exc:
            type_ = "value_error.jsondecode" if isinstance(exc, json.JSONDecodeError) \
                else "value_error.unicodedecode"
            raise _errors._validation_error(cls, [{"loc": ["__root__"], "msg": str(exc),
                                                  "type": type_}]) from None
        return cls.parse_obj(obj)

    @classmethod
    def parse_file(cls, path, *, content_type=None, encoding="utf8", proto=None,
                   allow_pickle=False):
        with open(path, "rb") as f:
            return cls.parse_raw(f.read(), encoding=encoding)

    @classmethod
    def schema(cls, by_alias=True):
        """The project's JSON Schema of this record and the records it reaches."""
        return _core._schema(cls._record_name)

    @classmethod
    def schema_json(cls, *, by_alias=True, **dumps_kwargs):
        return json.dumps(cls.schema(), **dumps_kwargs)


# ---------------------------------------------------------------------------------------------
# Records inside a host's pydantic 1 models. pydantic walks a model's values for dict(), json()
# and copy() in BaseModel._get_value, which goes into a value only when it is a pydantic
# BaseModel: a record would be left an object there (include, exclude and exclude_unset not
# applied to it, and json() unable to encode it). The walk learns records here, with the options
# pydantic gives its own models; every other value goes the way it went. pydantic's JSON encoder
# learns them too (json(models_as_dict=False), pydantic_encoder). Both are taught once, in the
# pydantic the layer uses (1, or 2's pydantic.v1), when pydantic first meets a record class as a
# field type. A record is no pydantic BaseModel to isinstance(): pydantic would then take the
# class for a model of its own everywhere (its schema reads a model's fields as its own kind).

_hooked = []
# The walk's parameters in pydantic 1.10 (and 2's pydantic.v1): a walk of others is left alone.
_WALK_PARAMETERS = ["cls", "v", "to_dict", "by_alias", "include", "exclude", "exclude_unset",
                    "exclude_defaults", "exclude_none"]


def _hook_pydantic():
    pydantic = _errors._library("pydantic")
    if pydantic is None or any(p is pydantic for p in _hooked):
        return
    _hooked.append(pydantic)
    base = pydantic.BaseModel
    walk = getattr(getattr(base, "_get_value", None), "__func__", None)
    try:
        if list(inspect.signature(walk).parameters) != _WALK_PARAMETERS:
            return
    except (TypeError, ValueError):
        return

    # The parameters spelt out: the walk runs for every value of every model's dict(), and
    # passing them on by name would cost a host's models half as much again.
    def _get_value(cls, v, to_dict, by_alias, include, exclude, exclude_unset, exclude_defaults,
                   exclude_none):
        if isinstance(v, _BaseModel):
            return _walked(v, to_dict, by_alias, include, exclude, exclude_unset,
                           exclude_defaults, exclude_none)
        return walk(cls, v, to_dict, by_alias, include, exclude, exclude_unset, exclude_defaults,
                    exclude_none)

    _get_value.__wrapped__ = walk
    base._get_value = classmethod(_get_value)
    encoders = importlib.import_module(pydantic.__name__ + ".json").ENCODERS_BY_TYPE
    encoders[_BaseModel] = _as_json_value


def _walked(record, to_dict, by_alias, include, exclude, exclude_unset, exclude_defaults,
            exclude_none):
    """A record as pydantic's walk gives a model of its own."""
    if to_dict:
        return record.dict(include=include, exclude=exclude, by_alias=by_alias,
                           exclude_unset=exclude_unset, exclude_defaults=exclude_defaults,
                           exclude_none=exclude_none)
    return record.copy(include=include, exclude=exclude)


def _as_json_value(record):
    return record.dict()


def _as_dict(value, refusal):
    """value as a dict (a mapping or pairs are taken); otherwise refusal() is raised."""
    if isinstance(value, dict):
        return value
    try:
        return dict(value)
    except (TypeError, ValueError) as exc:
        raise refusal() from exc


# The shared constrained strings, as pydantic 1's constr makes them: str subclasses whose class
# attributes say what the frame checks.
class _str(str):
    """A string trimmed of white space."""

    strip_whitespace = True
    max_length = None
    regex = None


class GWName(_str):
    """A gateway name: trimmed, at most 50 characters."""

    max_length = 50


_ALIASES = {"_str": _str, "GWName": GWName}
_SCALARS = {"str": str, "bool": bool, "address": ipaddress.IPv4Address,
            "network": ipaddress.IPv4Network}


def _constr(alias, strip, max_length, pattern):
    if alias in _ALIASES:
        return _ALIASES[alias]
    return type("ConstrainedStrValue", (str,), {
        "strip_whitespace": strip, "max_length": max_length,
        "regex": re.compile(pattern) if pattern else None, "__module__": __name__})


def _types_of(shape, classes):
    """(outer type, innermost type) of a shape, as pydantic 1 reports them."""
    kind = shape[0]
    if kind in _SCALARS:
        return _SCALARS[kind], _SCALARS[kind]
    if kind == "constr":
        constrained = _constr(*shape[1:])
        return constrained, constrained
    if kind == "choice":
        literal = typing.Literal[shape[2]]
        return literal, literal
    if kind == "record":
        return classes[shape[1]], classes[shape[1]]
    if kind in ("optional", "or_empty"):
        return _types_of(shape[1], classes)
    if kind == "list":
        outer, inner = _types_of(shape[1], classes)
        return typing.List[outer], inner
    if kind == "map":
        key, _ = _types_of(shape[1], classes)
        value, inner = _types_of(shape[2], classes)
        return typing.Dict[key, value], inner
    raise TypeError(f"unknown field shape {shape!r}")


# The tables as make_classes read them, for the layer's other uses at import.
TABLES = []


def _class_named(name):
    """The record class of a record name ("BackupConfig.S3Config"), once make_classes ran."""
    return _errors._classes[name]


def _annotation(field):
    return typing.Optional[field.outer_type_] if field.allow_none else field.outer_type_


# The classes once made: a reload of the module takes them again (the compiled tables cannot
# have changed), so that records made before it stay instances of the module's classes and pickle,
# copy and dump as ever.
_made = {}


def make_classes(module_name):
    """Every record class by record name ("BackupConfig.S3Config" nested in BackupConfig)."""
    tables = TABLES[:] = _core._tables()
    if _made:
        return dict(_made)
    classes = {"_BaseModel": _BaseModel}
    for table in tables:
        outer, _, name = table["name"].rpartition(".")
        cls = type(name, (classes[table["base"]],), {
            "__slots__": (), "__doc__": table["description"], "__module__": module_name,
            "__qualname__": table["name"], "_record_name": table["name"]})
        if outer:
            setattr(classes[outer], name, cls)
        classes[table["name"]] = cls
        _core._register(table["name"], cls)
    for table in tables:
        defaults = _core._default(table["name"])
        fields = {}
        for row in table["fields"]:
            outer, inner = _types_of(row["shape"], classes)
            default = None if row["required"] else getattr(defaults, row["key"])
            fields[row["key"]] = ModelField(row["key"], row["required"], default, outer, inner,
                                            row["description"], row["shape"])
        cls = classes[table["name"]]
        cls.__fields__ = fields
        cls.__annotations__ = {k: _annotation(f) for k, f in fields.items()}
        cls.__signature__ = inspect.Signature([
            inspect.Parameter(k, inspect.Parameter.KEYWORD_ONLY, annotation=_annotation(f),
                              default=inspect.Parameter.empty if f.required else f.get_default())
            for k, f in fields.items()])
    del classes["_BaseModel"]
    _errors._classes.update(classes)
    _made.update(classes)
    return classes
