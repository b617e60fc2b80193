"""Results and options as users write them; each method and helper's type pinned once."""

from __future__ import annotations

import asyncio

from typing_extensions import assert_never, assert_type

from ostrel import (
    Err, Nothing, Ok, Option, Result, Some, UnwrapError, catch, catching, collect, collect_options, from_optional,
    is_err, is_nothing, is_ok, is_some, partition, propagate, somes, unwrap_or_raise,
)


def positive(v: int) -> Result[int, str]:
    return Ok(v) if v > 0 else Err("not positive")


@propagate
def double(text: str) -> Result[int, str]:
    r = positive(int(text))
    if is_err(r):
        return r
    return Ok(r.value * 2)


@propagate("fetch")
async def fetch(text: str) -> Result[int, str]:
    return double(text)


def narrowing(r: Result[int, str], o: Option[int], rs: list[Result[int, str]], os: list[Option[str]]) -> None:
    assert_type(r.value if is_ok(r) else r.error, int | str)
    assert_type(o if is_nothing(o) else o.value, Nothing | int)
    assert_type(o.value if is_some(o) else o, int | Nothing)
    assert_type([x.value for x in rs if is_ok(x)], list[int])
    assert_type([x.error for x in rs if is_err(x)], list[str])
    assert_type([x for x in rs if isinstance(x, Ok)], list[Ok[int]])
    assert_type([x.value for x in os if is_some(x)], list[str])


def describe(r: Result[int, str], o: Option[str]) -> str:
    match r:
        case Ok(v):
            assert_type(v, int)
        case Err(e):
            assert_type(e, str)
        case _:
            assert_never(r)
    match o:
        case Some(s):
            return s
        case Nothing():
            return "-"
        case _:
            assert_never(o)


def results(r: Result[int, str]) -> None:
    """A lambda's parameter takes its type from the receiver, whatever the variant."""
    assert_type(r.map(lambda v: v / 2), Ok[float] | Err[str])
    assert_type(r.map_err(lambda e: e.upper()), Ok[int] | Err[str])
    assert_type(r.and_then(lambda v: Ok(v + 1) if v else Err("zero")), Ok[int] | Err[str])
    assert_type(r.or_else(lambda e: Ok(len(e))), Ok[int])
    assert_type(r.unwrap_or_else(lambda e: len(e)), int)
    assert_type(r.fold(lambda v: v + 1, lambda e: len(e)), int)
    assert_type(r.inspect(lambda v: print(v + 1)).inspect_err(lambda e: print(e.upper())), Ok[int] | Err[str])
    assert_type(r.is_ok_and(lambda v: v > 0), bool)
    assert_type(r.is_err_and(lambda e: e.isdigit()), bool)
    assert_type(Ok(2).map(lambda v: v + 1), Ok[int])
    assert_type(Err("e").map_err(lambda e: e + "!"), Err[str])
    assert_type(r | str, Ok[str] | Err[str])
    assert_type(r >> positive, Ok[int] | Err[str])
    assert_type(r.unwrap_or(None), int | None)
    assert_type(r.expect("needed"), int)
    assert_type(r.to_option(), Some[int] | Nothing)
    assert_type(r.ok, int | None)
    assert_type(Err("e").unwrap_err(), str)
    assert_type(Ok(1).swap_err("x"), Ok[int])
    assert_type(r.note("loading config").traced("load"), Ok[int] | Err[str])
    assert_type(r.notes, tuple[()] | tuple[str, ...])
    assert_type(r.wrap_err(KeyError("config")), Ok[int] | Err[KeyError])


def options(o: Option[int], names: dict[str, int]) -> None:
    assert_type(from_optional(names.get("k")), Some[int] | Nothing)
    assert_type(o.map(lambda v: v / 2), Some[float] | Nothing)
    assert_type(o.and_then(lambda v: Some(v) if v else Nothing()), Some[int] | Nothing)
    assert_type(o.filter(lambda v: v > 0), Some[int] | Nothing)
    assert_type(o.inspect(lambda v: print(v + 1)), Some[int] | Nothing)
    assert_type(o.or_else(lambda: Some(0)), Some[int])
    assert_type(o.unwrap_or_else(lambda: 0), int)
    assert_type(o.ok_or_else(lambda: KeyError("k")), Ok[int] | Err[KeyError])
    assert_type(o.ok_or("missing"), Ok[int] | Err[str])
    assert_type(o | str, Some[str] | Nothing)
    assert_type(o.unwrap_or("none"), int | str)
    assert_type(Nothing().unwrap_or(3), int)
    assert_type(o.unwrap(err="missing"), int)
    assert_type(o.some, int | None)
    assert_type(list(o), list[int])


def assignable(o: Option[int]) -> tuple[Option[object], Option[int], list[Result[int, str]]]:
    return o, Nothing(), [Ok(1), Err("e"), Ok.catch(lambda: 1, on_error=str)]


@catching(KeyError, ValueError)
def setting(name: str, *, default: int = 0) -> int:
    return int({"port": "80"}[name]) or default


@catching(on_error=str)
async def download(host: str) -> bytes:
    return host.encode()


def helpers(rs: list[Result[int, str]], os: list[Option[int]], r: Result[int, OSError]) -> list[Result[int, Exception]]:
    assert_type(collect(rs), Ok[list[int]] | Err[str])
    assert_type(partition(rs), tuple[list[int], list[Err[str]]])
    assert_type(collect_options(os), Some[list[int]] | Nothing)
    assert_type(somes(os), list[int])
    assert_type(unwrap_or_raise(r), int)
    assert_type(asyncio.run(download("example.org")), Ok[bytes] | Err[str])
    assert_type(asyncio.run(fetch("1")), Ok[int] | Err[str])
    assert_type(catch(lambda: 1 / 0, on_error=str), Ok[float] | Err[str])
    assert_type(catch(lambda: 1, KeyError, on_error=lambda e: e), Ok[int] | Err[KeyError])
    try:
        assert_type(positive(0).unwrap(err=ValueError("bad"), note="parsing"), int)
    except UnwrapError as exc:
        print(exc.container)
    # Two classes: mypy joins them to Exception, pyright keeps KeyError | ValueError.
    return [setting("port", default=1), catch(lambda: 1, KeyError, ValueError, on_error=lambda e: e)]
