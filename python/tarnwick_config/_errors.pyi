# Type stubs of the errors of a build and of a read.
from typing import Any, Dict, List, Optional, Sequence, Tuple, Type, Union

class ErrorWrapper:
    exc: Exception
    def __init__(self, exc: Exception, loc: Tuple[Union[int, str], ...]) -> None: ...
    def loc_tuple(self) -> Tuple[Union[int, str], ...]: ...

class ValidationError(ValueError):
    model: Any
    @property
    def raw_errors(self) -> List[ErrorWrapper]: ...
    def errors(self) -> List[Dict[str, Any]]: ...
    def json(self, *, indent: Optional[int] = ...) -> str: ...

class YamlError(ValueError):
    problem: Optional[str]
    file: Optional[str]
    line: Optional[int]
    column: Optional[int]
    @property
    def problem_mark(self) -> Any: ...
