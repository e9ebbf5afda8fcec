# Type stubs of the records' base class and the model API every record has.
import os
from typing import (Any, Callable, ClassVar, Dict, Iterator, List, Mapping, Optional, Set, Tuple,
                    Type, TypeVar, Union)

_R = TypeVar("_R", bound="_BaseModel")
_Selection = Union[Set[Union[int, str]], Mapping[Union[int, str], Any], None]
_Path = Union[str, "os.PathLike[str]"]

class _str(str):
    strip_whitespace: ClassVar[bool]
    max_length: ClassVar[Optional[int]]
    regex: ClassVar[Any]

class GWName(_str): ...

class FieldInfo:
    default: Any
    default_factory: Optional[Callable[[], Any]]
    description: str
    extra: Dict[str, Any]
    def __init__(self, default: Any, default_factory: Optional[Callable[[], Any]],
                 description: str) -> None: ...

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
    # The table's shape of the field ("optional", ("network",)), not pydantic's shape number.
    shape: Tuple[Any, ...]
    def __init__(self, name: str, required: bool, default: Any, outer_type: Any, type_: Any,
                 description: str, shape: Tuple[Any, ...]) -> None: ...
    @property
    def allow_none(self) -> bool: ...
    def get_default(self) -> Any: ...

class _BaseModel:
    class Config:
        extra: ClassVar[str]
        json_encoders: ClassVar[Dict[Type[Any], Callable[[Any], Any]]]
        validate_assignment: ClassVar[bool]
    __config__: ClassVar[Type[Config]]
    __fields__: ClassVar[Dict[str, ModelField]]
    __fields_set__: Set[str]
    __hash__: ClassVar[None]  # type: ignore[assignment]
    discovery_only: ClassVar[bool]
    def __init__(self, **data: Any) -> None: ...
    def __iter__(self) -> Iterator[Tuple[str, Any]]: ...
    def __repr_args__(self) -> List[Tuple[str, Any]]: ...
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
    def parse_raw(cls: Type[_R], b: Union[str, bytes], *, content_type: Optional[str] = ...,
                  encoding: str = ..., proto: Any = ..., allow_pickle: bool = ...) -> _R: ...
    @classmethod
    def parse_file(cls: Type[_R], path: _Path, *, content_type: Optional[str] = ...,
                   encoding: str = ..., proto: Any = ..., allow_pickle: bool = ...) -> _R: ...
    @classmethod
    def validate(cls: Type[_R], value: Any) -> _R: ...
    @classmethod
    def __get_validators__(cls) -> Iterator[Callable[[Any], Any]]: ...
    @classmethod
    def __modify_schema__(cls, field_schema: Dict[str, Any]) -> None: ...
    @classmethod
    def schema(cls, by_alias: bool = ...) -> Dict[str, Any]: ...
    @classmethod
    def schema_json(cls, *, by_alias: bool = ..., **dumps_kwargs: Any) -> str: ...
