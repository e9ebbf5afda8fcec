"""The errors of a build and of a read: ValidationError and YamlError.

When pydantic (1, or 2's pydantic.v1) is importable, ValidationError is a pydantic
ValidationError and its raw_errors are pydantic's ErrorWrappers, so that a host's pydantic model
holding a record reports the record's faults as its own, under the field's location.
"""

import copy
import importlib
import json

from . import _core

# PyYAML and pydantic are optional, and each costs the import tens of milliseconds: they are
# imported when a fault first needs their classes. None: not installed.
_optional = {}


def _library(name):
    if name not in _optional:
        try:
            module = importlib.import_module(name)
        except ImportError:
            module = None
        if name == "pydantic" and module is not None and not str(module.VERSION).startswith("1."):
            # pydantic 2 carries the API of 1 as a subpackage, which its own import leaves out:
            # imported here, so that it does not matter whether the host imported it first.
            try:
                module = importlib.import_module("pydantic.v1")
            except ImportError:
                module = None
        _optional[name] = module
    return _optional[name]


class ErrorWrapper:
    """One raw error: the exception a check raised (exc) and where (loc_tuple())."""

    __slots__ = ("exc", "_loc")

    def __init__(self, exc, loc):
        self.exc = exc
        self._loc = loc

    def loc_tuple(self):
        return self._loc

    def __repr__(self):
        return f"ErrorWrapper(exc={self.exc!r}, loc={self._loc!r})"


_fault_classes = {}


def _fault_class(type_):
    """An exception class whose pydantic error type is type_ ("value_error.extra": a ValueError
    with the code "extra"), as pydantic's own error classes are made."""
    if type_ not in _fault_classes:
        base = TypeError if type_.startswith("type_error") else ValueError
        code = type_.partition(".")[2]
        _fault_classes[type_] = type("Fault", (base,), {"code": code}) if code else base
    return _fault_classes[type_]


def _fault(error):
    exc = _fault_class(error["type"])(error["msg"])
    exc.__dict__.update(error.get("ctx", {}))  # pydantic reads an error's ctx from its __dict__
    return exc


def _tuples(value):
    return tuple(_tuples(v) for v in value) if isinstance(value, list) else value


def _pydantic_dict(error):
    """An error as pydantic 1 gives it: loc, msg, type and ctx (sequences in ctx as tuples)."""
    out = {"loc": tuple(error["loc"]), "msg": error["msg"], "type": error["type"]}
    if error.get("ctx"):
        out["ctx"] = {k: _tuples(v) for k, v in error["ctx"].items()}
    return out


def _display(errors):
    def type_and_ctx(error):
        ctx = "".join(f"; {k}={v}" for k, v in error.get("ctx", {}).items())
        return f"type={error['type']}{ctx}"

    return "\n".join(f"{' -> '.join(str(e) for e in error['loc'])}\n  {error['msg']} "
                     f"({type_and_ctx(error)})" for error in errors)


class ValidationError(ValueError):
    """Every fault of one build, in the order found.

    errors() lists them as pydantic 1 does: dicts of loc (a tuple of keys and list indexes), msg,
    type, and ctx when useful. positions() gives where each one is in the YAML text ((line,
    column) from 1, or None). json() is the report a failed load prints; str() summarises as
    pydantic does. model is the record class that was built; raw_errors the faults as
    ErrorWrappers.
    """

    def __init__(self, model, errors):
        # Not pydantic's __init__: the faults come made, not as wrapped exceptions.
        ValueError.__init__(self, errors)
        self.model = _record_class(model) if isinstance(model, str) else model
        self._errors = [_pydantic_dict(e) for e in errors]
        self._positions = [(e["line"], e["column"]) if "line" in e else None for e in errors]

    @property
    def raw_errors(self):
        pydantic = _library("pydantic")
        wrapper = pydantic.error_wrappers.ErrorWrapper if pydantic else ErrorWrapper
        return [wrapper(_fault(e), e["loc"]) for e in self._errors]

    def errors(self):
        return copy.deepcopy(self._errors)

    def positions(self):
        return list(self._positions)

    def json(self, *, indent=2):
        return json.dumps(self._errors, indent=indent)

    def __str__(self):
        n = len(self._errors)
        name = getattr(self.model, "__name__", self.model)
        return f"{n} validation error{'' if n == 1 else 's'} for {name}\n{_display(self._errors)}"

    def __repr_args__(self):
        return [("model", getattr(self.model, "__name__", self.model)), ("errors", self.errors())]

    def __reduce__(self):
        errors = [dict(e, **({"line": p[0], "column": p[1]} if p else {}))
                  for e, p in zip(self._errors, self._positions)]
        return (_validation_error, (self.model, errors))


_pydantic_class = []


def _validation_error(model, errors):
    """A ValidationError, which is a pydantic ValidationError too where pydantic is installed,
    so that `except pydantic.ValidationError` and a host's pydantic model handle it."""
    if not _pydantic_class:
        pydantic = _library("pydantic")
        _pydantic_class.append(type("ValidationError", (ValidationError, pydantic.ValidationError), {
            "__module__": __name__, "__doc__": ValidationError.__doc__}) if pydantic
            else ValidationError)
    return _pydantic_class[0](model, errors)


# The record classes by name, filled in by the records module (model names in failures).
_classes = {}


def _record_class(name):
    return _classes.get(name, name)


def validated(build, *args):
    """build(*args), its private failure raised as ValidationError (without chaining it)."""
    try:
        return build(*args)
    except _core._ValidationFailure as failure:
        model, errors = failure.args[0], failure.args[3]
    raise _validation_error(model, errors)


class _Mark:
    """Where a YAML error is, counted from 0 as PyYAML's marks are."""

    def __init__(self, name, line, column):
        self.name, self.line, self.column = name, line, column

    def __str__(self):
        return f'  in "{self.name}", line {self.line + 1}, column {self.column + 1}'


class YamlError(ValueError):
    """Malformed YAML, or YAML beyond the reader's limits.

    The message carries the file, line and column; problem, file, line and column hold them apart
    (line and column count from 1 and are None when unknown), context, context_line and
    context_column the construct the fault was found in, found_line and found_column where it was
    found: the end of the text for a construct left open (an unclosed bracket or quote), where
    line and column name the construct. problem_mark (where it was found) and context_mark are
    the positions as PyYAML gives them (counted from 0), or None. With PyYAML installed, a fault is
    raised as PyYAML's class for its step too: yaml.scanner.ScannerError, yaml.parser.ParserError,
    yaml.composer.ComposerError, yaml.constructor.ConstructorError or yaml.reader.ReaderError (a
    limit of ours as yaml.YAMLError).
    """

    problem = file = line = column = context = context_line = context_column = None
    found_line = found_column = None
    note = None
    _stage = "limit"

    def __init__(self, message, problem=None, file=None, line=None, column=None, context=None,
                 context_line=None, context_column=None, found_line=None, found_column=None):
        ValueError.__init__(self, message)  # not PyYAML's: its marks are properties here
        self.problem, self.file, self.line, self.column = problem, file, line, column
        self.context, self.context_line, self.context_column = (
            context or None, context_line, context_column)
        self.found_line, self.found_column = found_line, found_column

    def __str__(self):
        return self.args[0] if self.args else ""

    @property
    def problem_mark(self):
        if self.found_line is not None:
            return _mark(self.file, self.found_line, self.found_column)
        return _mark(self.file, self.line, self.column)

    @property
    def context_mark(self):
        return _mark(self.file, self.context_line, self.context_column)

    def __reduce__(self):
        return (_yaml_error, (str(self), self._stage, self.problem, self.file, self.line,
                              self.column, self.context, self.context_line, self.context_column,
                              self.found_line, self.found_column))


def _mark(file, line, column):
    if line is None:
        return None
    yaml = _library("yaml")
    if yaml is not None:
        return yaml.Mark(file, 0, line - 1, (column or 1) - 1, None, None)
    return _Mark(file, line - 1, (column or 1) - 1)


# PyYAML's class of each step; a limit of ours is its base class.
_PYYAML_CLASSES = {"reader": ("reader", "ReaderError"), "scanner": ("scanner", "ScannerError"),
                   "parser": ("parser", "ParserError"), "composer": ("composer", "ComposerError"),
                   "constructor": ("constructor", "ConstructorError"), "limit": ("", "YAMLError")}
_stage_classes = {}


def _yaml_error_class(stage):
    yaml = _library("yaml")
    if yaml is None:
        return YamlError
    if stage not in _stage_classes:
        module, name = _PYYAML_CLASSES.get(stage, _PYYAML_CLASSES["limit"])
        pyyaml = getattr(getattr(yaml, module) if module else yaml, name)
        name = name if module else "YamlError"
        _stage_classes[stage] = type(name, (YamlError, pyyaml), {
            "_stage": stage, "__module__": __name__, "__qualname__": name,
            "__doc__": YamlError.__doc__})
    return _stage_classes[stage]


def _yaml_error(message, stage, problem=None, file=None, line=None, column=None, context=None,
                context_line=None, context_column=None, found_line=None, found_column=None):
    """The error of a fault found while reading YAML: made by the compiled reader."""
    error = _yaml_error_class(stage)(message, problem, file, line, column, context,
                                     context_line, context_column, found_line, found_column)
    if stage == "reader" and _library("yaml") is not None:  # what PyYAML's ReaderError has
        error.name, error.position, error.character = file, None, None
        error.encoding, error.reason = "utf-8", problem
    return error
