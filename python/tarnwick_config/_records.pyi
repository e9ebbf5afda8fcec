# Type stubs of the records' base class and the model API every record has.
from typing import Any, Callable, ClassVar, Dict, Iterator, Mapping, Optional, Set, Tuple, Type, TypeVar, Union

_R = TypeVar("_R", bound="_BaseModel")
_Selection = Union[Set[Union[int, str]], Mapping[Union[int, str], Any], None]

class _str(str):
    strip_whitespace: ClassVar[bool]
    max_length: ClassVar[Optional[int]]
    regex: ClassVar[Any]

class GWName(_str): ...

class FieldInfo:
    description: Optional[str]
    default: Any
    extra: Dict[str, Any]

class ModelField:
    name: str
    alias: str
    required: bool
    default: Any
    default_factory: Optional[Callable[[], Any]]
    outer_type_: Any
    type_: Any
    description: str
    field_info: FieldInfo
    shape: Tuple[Any, ...]
    @property
    def allow_none(self) -> bool: ...
    def get_default(self) -> Any: ...

class _BaseModel:
    __fields__: ClassVar[Dict[str, ModelField]]
    __fields_set__: Set[str]
    discovery_only: ClassVar[bool]
    def __init__(self, **data: Any) -> None: ...
    def __iter__(self) -> Iterator[Tuple[str, Any]]: ...
    def dict(self, *, include: _Selection = ..., exclude: _Selection = ..., by_alias: bool = ...,
             skip_defaults: Optional[bool] = ..., exclude_unset: bool = ...,
             exclude_defaults: bool = ..., exclude_none: bool = ...) -> Dict[str, Any]: ...
    def json(self, *, include: _Selection = ..., exclude: _Selection = ..., by_alias: bool = ...,
             skip_defaults: Optional[bool] = ..., exclude_unset: bool = ...,
             exclude_defaults: bool = ..., exclude_none: bool = ...,
             encoder: Optional[Callable[[Any], Any]] = ..., **dumps_kwargs: Any) -> str: ...
    def copy(self: _R, *, include: _Selection = ..., exclude: _Selection = ...,
             update: Optional[Dict[str, Any]] = ..., deep: bool = ...) -> _R: ...
    @classmethod
    def construct(cls: Type[_R], _fields_set: Optional[Set[str]] = ..., **values: Any) -> _R: ...
    @classmethod
    def parse_obj(cls: Type[_R], obj: Any) -> _R: ...
    @classmethod
    def validate(cls: Type[_R], value: Any) -> _R: ...
    @classmethod
    def schema(cls, by_alias: bool = ...) -> Dict[str, Any]: ...
    @classmethod
    def schema_json(cls, *, by_alias: bool = ..., **dumps_kwargs: Any) -> str: ...
