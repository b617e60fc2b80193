"""pydantic v2 field types for ``Option`` and ``Result`` (install with ``ostrel[pydantic]``).

Import ``Option`` and ``Result`` from here in the modules that declare models::

    from ostrel.pydantic import Option, Result

    class Job(BaseModel):
        retries: Option[int]
        outcome: Result[int, str]

For the type checker they are the same unions as ``ostrel.Option`` and ``ostrel.Result``;
at run time subscribing them gives ``Annotated[ostrel.Option[int], ...]``, which tells
pydantic how to validate and serialise the field. The native classes are left untouched.

- ``Option[T]`` validates ``None`` (or ``Nothing()``) to ``Nothing()`` and anything else
  (or ``Some(x)``) as ``T`` wrapped in ``Some``; it serialises to ``None`` or the value,
  and its JSON schema is the schema of ``T`` or null.
- ``Result[T, E]`` is the object ``{"ok": value}`` or ``{"err": error}``, the latter with
  ``"notes"`` and ``"trace"`` (lists of strings) when the ``Err`` has any; it validates
  from that object or from an ``Ok``/``Err`` instance, keeping notes and trace.
"""

from __future__ import annotations

from importlib.util import find_spec
from typing import TYPE_CHECKING, Annotated, Any, TypeVar, get_args, get_origin

if find_spec("pydantic_core") is None:  # pydantic 1 has no pydantic_core
    raise ImportError("ostrel.pydantic needs pydantic 2; install it with: python3 -m pip install 'ostrel[pydantic]'")

from pydantic import GetCoreSchemaHandler
from pydantic_core import core_schema

from .option import Nothing, Some
from .option import Option as _OptionClass
from .result import Err, Ok, _rebuild_err  # pyright: ignore[reportPrivateUsage]
from .result import Result as _ResultClass

__all__ = ["Option", "Result"]

_T = TypeVar("_T")
_E = TypeVar("_E")

_OK_TAG = "ok"
_ERR_TAG = "err"


def _option_payload(value: Any) -> Any:
    """An option as its value or ``None``, on the way in and out; anything else as it is
    (input to validate as the value, or a non-option put in by ``model_construct``, about
    which pydantic warns when it serialises it)."""
    if isinstance(value, Some):
        some: Some[Any] = value  # pyright: ignore[reportUnknownVariableType]
        return some.value
    if isinstance(value, Nothing):
        return None
    return value


def _to_option(value: Any) -> Any:
    return Nothing() if value is None else Some(value)


def _result_input(value: Any) -> Any:
    """Accept an ``Ok``/``Err`` where the ``{"ok": ...}``/``{"err": ...}`` object is expected."""
    if isinstance(value, Ok):
        ok: Ok[Any, Any] = value  # pyright: ignore[reportUnknownVariableType]
        return {_OK_TAG: ok.value}
    if isinstance(value, Err):
        err: Err[Any, Any] = value  # pyright: ignore[reportUnknownVariableType]
        return {_ERR_TAG: err.error, "notes": list(err.notes), "trace": list(err.trace)}
    return value


def _to_result(value: dict[str, Any]) -> Any:
    if _OK_TAG in value:
        return Ok(value[_OK_TAG])
    return _rebuild_err(value[_ERR_TAG], tuple(value.get("notes", ())), tuple(value.get("trace", ())))


def _result_output(value: Any) -> Any:
    if isinstance(value, Ok):
        ok: Ok[Any, Any] = value  # pyright: ignore[reportUnknownVariableType]
        return {_OK_TAG: ok.value}
    if isinstance(value, Err):
        err: Err[Any, Any] = value  # pyright: ignore[reportUnknownVariableType]
        out: dict[str, Any] = {_ERR_TAG: err.error}
        if err.notes:
            out["notes"] = list(err.notes)
        if err.trace:
            out["trace"] = list(err.trace)
        return out
    return value  # not a result: pydantic warns


def _type_args(source: Any, origin: Any, arity: int) -> tuple[Any, ...]:
    """The type arguments of ``source`` (``Option[int]`` gives ``(int,)``), read from the type
    pydantic passes in, so that a generic model's ``Option[T]`` follows its parametrisation;
    ``Any`` for each when the annotation has none."""
    args = get_args(source) if get_origin(source) is origin else ()
    return args if len(args) == arity else (Any,) * arity


def _result_tag(value: Any) -> str | None:
    if isinstance(value, dict):
        if _OK_TAG in value:
            return _OK_TAG
        if _ERR_TAG in value:
            return _ERR_TAG
    return None


class _OptionSchema:
    """``Annotated`` metadata that builds the pydantic schema of an ``Option[item]`` field."""

    __slots__ = ()

    def __repr__(self) -> str:
        return "OptionSchema()"

    def __get_pydantic_core_schema__(self, source: Any, handler: GetCoreSchemaHandler) -> core_schema.CoreSchema:
        (item,) = _type_args(source, _OptionClass, 1)
        wire = core_schema.nullable_schema(handler.generate_schema(item))
        return core_schema.no_info_before_validator_function(
            _option_payload,
            core_schema.no_info_after_validator_function(_to_option, wire),
            serialization=core_schema.plain_serializer_function_ser_schema(_option_payload, return_schema=wire),
        )


class _ResultSchema:
    """``Annotated`` metadata that builds the pydantic schema of a ``Result[value, error]`` field."""

    __slots__ = ()

    def __repr__(self) -> str:
        return "ResultSchema()"

    def __get_pydantic_core_schema__(self, source: Any, handler: GetCoreSchemaHandler) -> core_schema.CoreSchema:
        value, error = _type_args(source, _ResultClass, 2)
        texts = core_schema.list_schema(core_schema.str_schema())
        ok = core_schema.typed_dict_schema(
            {_OK_TAG: core_schema.typed_dict_field(handler.generate_schema(value))},
            extra_behavior="forbid",
        )
        err = core_schema.typed_dict_schema(
            {
                _ERR_TAG: core_schema.typed_dict_field(handler.generate_schema(error)),
                "notes": core_schema.typed_dict_field(texts, required=False),
                "trace": core_schema.typed_dict_field(texts, required=False),
            },
            extra_behavior="forbid",
        )
        wire = core_schema.tagged_union_schema(
            {_OK_TAG: ok, _ERR_TAG: err},
            discriminator=_result_tag,
            custom_error_type="result_type",
            custom_error_message="Input should be Ok, Err, or an object with the key 'ok' or 'err'",
        )
        return core_schema.no_info_before_validator_function(
            _result_input,
            core_schema.no_info_after_validator_function(_to_result, wire),
            serialization=core_schema.plain_serializer_function_ser_schema(_result_output, return_schema=wire),
        )


class _FieldType:
    """``Option``/``Result`` at run time: subscripting gives the annotated field type."""

    __slots__ = ("_name", "_origin", "_arity", "_metadata")

    def __init__(self, name: str, origin: Any, arity: int, metadata: Any) -> None:
        self._name = name
        self._origin = origin
        self._arity = arity
        self._metadata = metadata

    def __repr__(self) -> str:
        return f"ostrel.pydantic.{self._name}"

    def __getitem__(self, params: Any) -> Any:
        args: tuple[Any, ...] = params if isinstance(params, tuple) else (params,)  # pyright: ignore[reportUnknownVariableType]
        if len(args) != self._arity:
            raise TypeError(f"{self._name}[...] takes {self._arity} type argument(s), got {len(args)}")
        return Annotated[self._origin[params], self._metadata()]

    def __get_pydantic_core_schema__(self, source: Any, handler: GetCoreSchemaHandler) -> core_schema.CoreSchema:
        """A bare ``Option``/``Result`` annotation means ``Any`` for every argument."""
        schema: core_schema.CoreSchema = self._metadata().__get_pydantic_core_schema__(source, handler)
        return schema


if TYPE_CHECKING:
    from typing import TypeAlias

    Option: TypeAlias = Some[_T] | Nothing[_T]
    """``Option[T]`` as a pydantic field type: ``Some[T] | Nothing[T]`` for the type checker.

    Validates ``None`` or ``Nothing()`` to ``Nothing()``, and any other value, or
    ``Some(value)``, as a ``T`` wrapped in ``Some``. Serialises to ``None`` or the bare
    value; the JSON schema is the schema of ``T`` or null.
    """

    Result: TypeAlias = Ok[_T, _E] | Err[_E, _T]
    """``Result[T, E]`` as a pydantic field type: ``Ok[T, E] | Err[E, T]`` for the type checker.

    Serialises to ``{"ok": value}`` or ``{"err": error}``, the latter with the lists
    ``"notes"`` and ``"trace"`` when the ``Err`` has any. Validates from that object or
    from an ``Ok``/``Err`` (keeping its notes and trace); the JSON schema is ``oneOf``
    the two objects.
    """
else:
    Option = _FieldType("Option", _OptionClass, 1, _OptionSchema)
    Result = _FieldType("Result", _ResultClass, 2, _ResultSchema)
