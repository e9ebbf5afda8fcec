# Type stubs of the errors of a build and of a read.
from typing import Any, Dict, List, Optional, Protocol, Tuple, Type, Union

from ._records import _BaseModel

_Loc = Tuple[Union[int, str], ...]

class ErrorWrapper:
    exc: Exception
    def __init__(self, exc: Exception, loc: _Loc) -> None: ...
    def loc_tuple(self) -> _Loc: ...

# raw_errors holds pydantic's ErrorWrappers where pydantic is installed, these otherwise: what
# both have.
class _RawError(Protocol):
    @property
    def exc(self) -> Exception: ...
    def loc_tuple(self) -> _Loc: ...

class ValidationError(ValueError):
    model: Type[_BaseModel]
    def __init__(self, model: Union[str, Type[_BaseModel]],
                 errors: List[Dict[str, Any]]) -> None: ...
    @property
    def raw_errors(self) -> List[_RawError]: ...
    def errors(self) -> List[Dict[str, Any]]: ...
    def positions(self) -> List[Optional[Tuple[int, int]]]: ...
    def json(self, *, indent: Optional[int] = ...) -> str: ...
    def __repr_args__(self) -> List[Tuple[str, Any]]: ...

# A mark is PyYAML's yaml.Mark where PyYAML is installed, the package's own otherwise: what both
# have, counted from 0.
class _PositionMark(Protocol):
    @property
    def name(self) -> Optional[str]: ...
    @property
    def line(self) -> int: ...
    @property
    def column(self) -> int: ...

class YamlError(ValueError):
    problem: Optional[str]
    file: Optional[str]
    line: Optional[int]
    column: Optional[int]
    context: Optional[str]
    context_line: Optional[int]
    context_column: Optional[int]
    found_line: Optional[int]
    found_column: Optional[int]
    note: Optional[str]
    def __init__(self, message: str, problem: Optional[str] = ..., file: Optional[str] = ...,
                 line: Optional[int] = ..., column: Optional[int] = ...,
                 context: Optional[str] = ..., context_line: Optional[int] = ...,
                 context_column: Optional[int] = ..., found_line: Optional[int] = ...,
                 found_column: Optional[int] = ...) -> None: ...
    @property
    def problem_mark(self) -> Optional[_PositionMark]: ...
    @property
    def context_mark(self) -> Optional[_PositionMark]: ...
