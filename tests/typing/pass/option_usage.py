"""Option code as users write it: every line must pass mypy --strict."""

from __future__ import annotations

from typing_extensions import assert_never, assert_type

from ostrel import Err, Nothing, Ok, Option, Some, from_optional, is_nothing, is_some


def find(names: dict[str, int], key: str) -> Option[int]:
    assert_type(from_optional(names.get(key)), Some[int] | Nothing)
    return from_optional(names.get(key))


def describe(o: Option[str]) -> str:
    match o:
        case Some(v):
            return v
        case Nothing():
            return "-"
        case _:
            assert_never(o)


def narrowing(o: Option[int]) -> int:
    if is_nothing(o):
        assert_type(o, Nothing)
        return 0
    assert_type(o, Some[int])
    return o.value + 1


def narrowing_some(os: list[Option[str]]) -> str:
    assert_type([o.value for o in os if is_some(o)], list[str])
    o = os[0]
    if is_some(o):
        return o.value
    assert_type(o, Nothing)
    return ""


def lambdas(o: Option[int]) -> None:
    """Every callback's parameter takes its type from the receiver, whatever the variant."""
    assert_type(o.map(lambda v: v / 2), Some[float] | Nothing)
    assert_type(o.and_then(lambda v: Some(v) if v else Nothing()), Some[int] | Nothing)
    assert_type(o.filter(lambda v: v > 0), Some[int] | Nothing)
    assert_type(o.inspect(lambda v: print(v + 1)), Some[int] | Nothing)
    assert_type(o.or_else(lambda: Some(0)), Some[int])
    assert_type(o.unwrap_or_else(lambda: 0), int)
    assert_type(o.ok_or_else(lambda: "missing"), Ok[int] | Err[str])


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
