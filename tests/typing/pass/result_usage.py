"""Result code as users write it: every line must pass mypy --strict."""

from __future__ import annotations

from typing_extensions import assert_never, assert_type

from ostrel import Err, Nothing, Ok, Result, Some, UnwrapError, catch, is_err, is_ok, propagate


def parse(text: str) -> Result[int, str]:
    return Ok(int(text)) if text.isdigit() else Err(f"not a number: {text!r}")


def double(text: str) -> Result[int, str]:
    r = parse(text)
    if is_err(r):
        assert_type(r, Err[str])
        return r
    assert_type(r, Ok[int])
    return Ok(r.value * 2)


def both_branches(r: Result[int, str]) -> str:
    if is_ok(r):
        assert_type(r, Ok[int])
        return str(r.value)
    assert_type(r, Err[str])
    return r.error


def comprehensions(rs: list[Result[int, str]]) -> None:
    assert_type([r.value for r in rs if is_ok(r)], list[int])
    assert_type([r.error for r in rs if is_err(r)], list[str])
    assert_type([r for r in rs if isinstance(r, Ok)], list[Ok[int]])


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
    assert_type(r | half, Ok[float] | Err[str])
    assert_type(r >> parse_even, Ok[int] | Err[str])
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


def half(v: int) -> float:
    return v / 2


def parse_even(v: int) -> Result[int, str]:
    return Ok(v) if v % 2 == 0 else Err("odd")


def lambdas(r: Result[int, str]) -> None:
    """Every callback's parameter takes its type from the receiver, whatever the variant."""
    assert_type(r.map(lambda v: v / 2), Ok[float] | Err[str])
    assert_type(r.map_err(lambda e: e.upper()), Ok[int] | Err[str])
    assert_type(r.and_then(lambda v: Ok(v + 1) if v else Err("zero")), Ok[int] | Err[str])
    assert_type(r.or_else(lambda e: Ok(len(e))), Ok[int])
    assert_type(r.unwrap_or_else(lambda e: len(e)), int)
    assert_type(r.fold(lambda v: v + 1, lambda e: len(e)), int)
    assert_type(r.inspect(lambda v: print(v + 1)), Ok[int] | Err[str])
    assert_type(r.inspect_err(lambda e: print(e.upper())), Ok[int] | Err[str])
    assert_type(r.is_ok_and(lambda v: v > 0), bool)
    assert_type(r.is_err_and(lambda e: e.isdigit()), bool)
    assert_type(Ok(2).map(lambda v: v + 1), Ok[int])
    assert_type(Err("e").map_err(lambda e: e + "!"), Err[str])


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
    assert_type(catch(lambda: 1 / 0, on_error=str), Ok[float] | Err[str])
    assert_type(catch(lambda: 1, KeyError, on_error=lambda e: e), Ok[int] | Err[KeyError])
    return catch(lambda: 1 / 0, ZeroDivisionError, on_error=lambda e: str(e))


def caught_either() -> Result[int, Exception]:
    # mypy joins the two classes to Exception, pyright keeps KeyError | ValueError
    return catch(lambda: 1, KeyError, ValueError, on_error=lambda e: e)


def assignable() -> list[Result[int, str]]:
    return [Ok(1), Err("e"), Ok.catch(lambda: 1, on_error=str)]


def unwrap_failure() -> object:
    try:
        return parse("x").unwrap(err=ValueError("bad"), note="parsing")
    except UnwrapError as exc:
        return exc.container
