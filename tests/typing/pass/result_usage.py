"""Result code as users write it: every line must pass mypy --strict."""

from __future__ import annotations

from typing_extensions import assert_never, assert_type

from ostrel import Err, Nothing, Ok, Result, Some, UnwrapError, propagate


def parse(text: str) -> Result[int, str]:
    return Ok(int(text)) if text.isdigit() else Err(f"not a number: {text!r}")


def double(text: str) -> Result[int, str]:
    r = parse(text)
    if r.is_err:
        return r  # narrowed to Err[str]
    assert_type(r, Ok[int])
    return Ok(r.value * 2)


def describe(r: Result[int, str]) -> str:
    match r:
        case Ok(v):
            assert_type(v, int)
            return f"got {v}"
        case Err(e):
            assert_type(e, str)
            return e
        case _:
            assert_never(r)


def combinators(r: Result[int, str]) -> None:
    assert_type(r.map(str), Ok[str] | Err[str])
    assert_type(r.map_err(len), Ok[int] | Err[int])
    assert_type(r.and_then(lambda v: parse(str(v + 1))), Ok[int] | Err[str])
    assert_type(r.or_else(lambda e: Ok(len(e))), Ok[int])
    assert_type(r | (lambda v: v / 2), Ok[float] | Err[str])
    assert_type(r >> (lambda v: Err(v)), Err[int] | Err[str])
    assert_type(r.unwrap_or(None), int | None)
    assert_type(r.unwrap_or_else(len), int)
    assert_type(r.unwrap(), int)
    assert_type(r.expect("needed"), int)
    assert_type(r.fold(str, str.upper), str)
    assert_type(r.is_ok_and(lambda v: v > 0), bool)
    assert_type(r.to_option(), Some[int] | Nothing)
    assert_type(r.inspect(print).inspect_err(print), Ok[int] | Err[str])
    assert_type(r.ok, int | None)
    assert_type(Err("e").unwrap_err(), str)
    assert_type(Ok(1).swap_err("x"), Ok[int])


def context(r: Result[int, KeyError]) -> Result[int, str]:
    noted = r.note("loading config").traced("load")
    assert_type(noted, Ok[int] | Err[KeyError])
    assert_type(noted.notes, tuple[()] | tuple[str, ...])
    return r.wrap_err("config unavailable")


@propagate
def load(text: str) -> Result[int, str]:
    return parse(text)


@propagate("fetch")
async def fetch(text: str) -> Result[int, str]:
    return load(text)


def caught() -> Result[float, str]:
    return Ok.catch(lambda: 1 / 0, ZeroDivisionError, on_error=lambda e: str(e))


def unwrap_failure() -> object:
    try:
        return parse("x").unwrap(err=ValueError("bad"), note="parsing")
    except UnwrapError as exc:
        return exc.container
