"""Results and options as users write them, pydantic fields too; each method and helper's type pinned once."""

from __future__ import annotations

import asyncio

from pydantic import BaseModel
from typing_extensions import Never, assert_never, assert_type

from ostrel import (
    Err, Nothing, Ok, Option, Result, Some, UnwrapError, catch, catching, collect, collect_options, from_optional,
    is_err, is_nothing, is_ok, is_some, partition, propagate, somes, unwrap_or_raise,
)
from ostrel import pydantic as fields


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
    assert_type(r if is_ok(r) else r.error, Ok[int, str] | str)
    assert_type(o if is_nothing(o) else o.value, Nothing[int] | int)
    assert_type(o.value if is_some(o) else o, int | Nothing[int])
    assert_type([x.value for x in rs if is_ok(x)], list[int])
    assert_type([x for x in rs if is_err(x)], list[Err[str, int]])
    assert_type([x for x in rs if isinstance(x, Ok)], list[Ok[int, str]])
    assert_type([x.value for x in os if is_some(x)], list[str])


def describe(r: Result[int, str], o: Option[str]) -> str:
    match r:
        case Ok(v):
            assert_type(v, int)
        case Err(e):
            assert_type(e, str)
        case _:
            assert_never(r)
    match o:  # exhaustive: no return is missing
        case Some(s):
            return s
        case Nothing():
            return "-"


def results(r: Result[int, str]) -> None:
    """A lambda's parameter is the payload type on every member, and every call gives a whole Result."""
    assert_type(r.map(lambda v: assert_type(v, int) / 2), Result[float, str])
    assert_type(r.map_err(lambda e: assert_type(e, str).upper()), Result[int, str])
    assert_type(r.and_then(lambda v: Ok(str(v)) if assert_type(v, int) else Err(v)), Result[str, str | int])
    assert_type(r.or_else(lambda e: Ok(len(assert_type(e, str)))), Result[int, Never])
    assert_type(r.unwrap_or_else(lambda e: len(assert_type(e, str))), int)
    assert_type(r.fold(lambda v: assert_type(v, int) + 1, lambda e: len(assert_type(e, str))), int)
    assert_type(r.inspect(lambda v: assert_type(v, int)).inspect_err(lambda e: assert_type(e, str)), Result[int, str])
    assert_type(r.is_ok_and(lambda v: assert_type(v, int) > 0), bool)
    assert_type(r.is_err_and(lambda e: assert_type(e, str).isdigit()), bool)
    assert_type(Ok(2).map(lambda v: v + 1), Ok[int])
    assert_type(Err("e").map_err(lambda e: e + "!"), Err[str])
    assert_type(r | str, Result[str, str])
    assert_type(r >> positive, Result[int, str])
    assert_type(r.unwrap_or(None), int | None)
    assert_type(r.expect("needed"), int)
    assert_type(r.to_option(), Option[int])
    assert_type(r.ok, int | None)
    assert_type(Err("e").unwrap_err(), str)
    assert_type(Ok(1).swap_err("x"), Ok[int])
    assert_type(r.note("loading config").traced("load"), Result[int, str])
    assert_type(r.notes, tuple[()] | tuple[str, ...])
    assert_type(r.wrap_err(KeyError("config")), Result[int, KeyError])


def options(o: Option[int], names: dict[str, int]) -> None:
    assert_type(from_optional(names.get("k")), Option[int])
    assert_type(o.map(lambda v: assert_type(v, int) / 2), Option[float])
    assert_type(o.and_then(lambda v: Some(v) if assert_type(v, int) else Nothing()), Option[int])
    assert_type(o.filter(lambda v: assert_type(v, int) > 0), Option[int])
    assert_type(o.inspect(lambda v: print(assert_type(v, int) + 1)), Option[int])
    assert_type(o.or_else(lambda: Some("none")), Option[int | str])
    assert_type(o.unwrap_or_else(lambda: 0), int)
    assert_type(o.ok_or_else(lambda: KeyError("k")), Result[int, KeyError])
    assert_type(o.ok_or("missing"), Result[int, str])
    assert_type(o | str, Option[str])
    assert_type(o.unwrap_or("none"), int | str)
    assert_type(Nothing().unwrap_or(3), int)
    assert_type(o.unwrap(err="missing"), int)
    assert_type(o.some, int | None)
    assert_type(list(o), list[int])


def assignable(
    o: Option[int], ok: Ok[int], err: Err[str], none: Nothing
) -> tuple[Option[object], list[Option[int]], list[Result[int, str]]]:
    return o, [Nothing(), none], [Ok(1), Err("e"), ok, err, Ok.catch(lambda: 1, on_error=str)]


@catching(KeyError, ValueError)
def setting(name: str, *, default: int = 0) -> int:
    return int({"port": "80"}[name]) or default


@catching(on_error=str)
async def download(host: str) -> bytes:
    return host.encode()


def helpers(rs: list[Result[int, str]], os: list[Option[int]], r: Result[int, OSError]) -> list[Result[int, Exception]]:
    assert_type(collect(rs), Result[list[int], str])
    assert_type(partition(rs), tuple[list[int], list[Err[str, int]]])
    assert_type(collect_options(os), Option[list[int]])
    assert_type(somes(os), list[int])
    assert_type(unwrap_or_raise(r), int)
    assert_type(asyncio.run(download("example.org")), Result[bytes, str])
    assert_type(asyncio.run(fetch("1")), Result[int, str])
    assert_type(catch(lambda: 1 / 0, on_error=str), Result[float, str])
    assert_type(catch(lambda: 1, KeyError, on_error=lambda e: e), Result[int, KeyError])
    try:
        assert_type(positive(0).unwrap(err=ValueError("bad"), note="parsing"), int)
    except UnwrapError as exc:
        print(exc.container)
    # Two classes: mypy joins them to Exception, pyright keeps KeyError | ValueError.
    return [setting("port", default=1), catch(lambda: 1, KeyError, ValueError, on_error=lambda e: e)]


class Job(BaseModel):  # the pydantic field types narrow like any other
    retries: fields.Option[int]
    outcome: fields.Result[float, str] = Ok(0.0)


job = Job(retries=Some(3), outcome=Err("timeout").note("second try"))
assert_type(job.outcome.error if is_err(job.outcome) else None, str | None)
assert_type(Job.model_validate_json(job.model_dump_json()).retries.map(lambda v: assert_type(v, int)), Option[int])
assert_type(Job.model_validate({"retries": None}).outcome, Result[float, str])
