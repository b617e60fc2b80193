"""Option code as users write it: every line must pass mypy --strict."""

from __future__ import annotations

from typing_extensions import assert_never, assert_type

from ostrel import Err, Nothing, Ok, Option, Some


def find(names: dict[str, int], key: str) -> Option[int]:
    return Some.from_optional(names.get(key))


def describe(o: Option[str]) -> str:
    match o:
        case Some(v):
            return v
        case Nothing():
            return "-"
        case _:
            assert_never(o)


def narrowing(o: Option[int]) -> int:
    if o.is_nothing:
        assert_type(o, Nothing)
        return 0
    return o.value + 1


def combinators(o: Option[int]) -> None:
    assert_type(o.map(str), Some[str] | Nothing)
    assert_type(o | str, Some[str] | Nothing)
    assert_type(o.and_then(lambda v: Some(v * 2.0)), Some[float] | Nothing)
    assert_type(o.filter(lambda v: v > 0), Some[int] | Nothing)
    assert_type(o.or_else(lambda: Some(0)), Some[int])
    assert_type(o.unwrap_or("none"), int | str)
    assert_type(o.unwrap_or_else(lambda: 0), int)
    assert_type(o.unwrap(err="missing"), int)
    assert_type(o.ok_or("missing"), Ok[int] | Err[str])
    assert_type(o.ok_or_else(lambda: KeyError("k")), Ok[int] | Err[KeyError])
    assert_type(o.some, int | None)
    assert_type(list(o), list[int])
    everything: Option[object] = Some(1)  # covariant
    nothing: Option[int] = Nothing()
    assert_type(Nothing().unwrap_or(3), int)
    del everything, nothing
