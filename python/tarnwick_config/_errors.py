"""The errors of a build and of a read: ValidationError and YamlError."""

import copy

from . import _core

try:
    import yaml as _yaml
except ImportError:  # PyYAML is optional: without it, YAML errors have a base of their own
    _yaml = None


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


class ValidationError(ValueError):
    """Every fault of one build, in the order found.

    errors() lists them as dicts: loc (a tuple of keys and list indexes), msg, type, and ctx,
    line and column when known. json() is the report a failed load prints. str() summarises.
    model is the record class that was built; raw_errors the faults as ErrorWrappers.
    """

    def __init__(self, model, summary, json_text, errors):
        super().__init__(summary)
        self.model = _record_class(model) if isinstance(model, str) else model
        self._json = json_text
        self._errors = errors

    @property
    def raw_errors(self):
        return [ErrorWrapper((TypeError if e["type"].startswith("type_error") else ValueError)(
            e["msg"]), e["loc"]) for e in self._errors]

    def errors(self):
        return copy.deepcopy(self._errors)

    def json(self, *, indent=2):
        return self._json

    def __reduce__(self):
        return (type(self), (self.model, str(self), self._json, self._errors))


# The record classes by name, filled in by the records module (model names in failures).
_classes = {}


def _record_class(name):
    return _classes.get(name, name)


def validated(build, *args):
    """build(*args), its private failure raised as ValidationError (without chaining it)."""
    try:
        return build(*args)
    except _core._ValidationFailure as failure:
        failure_args = failure.args
    raise ValidationError(*failure_args)


class _Mark:
    """Where a YAML error is, counted from 0 as PyYAML's marks are."""

    def __init__(self, name, line, column):
        self.name, self.line, self.column = name, line, column

    def __str__(self):
        return f'  in "{self.name}", line {self.line + 1}, column {self.column + 1}'


_YamlBase = _yaml.YAMLError if _yaml is not None else Exception


class YamlError(_YamlBase, ValueError):
    """Malformed YAML, or YAML beyond the reader's limits.

    The message carries the file, line and column; problem, file, line and column hold them apart
    (line and column count from 1 and are None when unknown). problem_mark is the position as
    PyYAML gives it (counted from 0), or None.
    """

    problem = file = line = column = None

    @property
    def problem_mark(self):
        if self.line is None:
            return None
        if _yaml is not None:
            return _yaml.Mark(self.file, 0, self.line - 1, (self.column or 1) - 1, None, None)
        return _Mark(self.file, self.line - 1, (self.column or 1) - 1)

    def __reduce__(self):
        return (_rebuilt_yaml_error, (str(self), self.problem, self.file, self.line, self.column))


def _rebuilt_yaml_error(message, problem, file, line, column):
    error = YamlError(message)
    error.problem, error.file, error.line, error.column = problem, file, line, column
    return error
