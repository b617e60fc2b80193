"""Everyday helpers as a user types them: early return, collect/partition, catching, raising."""

from __future__ import annotations

import asyncio

from typing_extensions import assert_type

from ostrel import (
    Err, Nothing, Ok, Option, Result, Some, catching, collect, collect_options, partition,
    propagate, somes, unwrap_or_raise,
)


def parse(text: str) -> Result[int, str]:
    return Ok(int(text)) if text.isdigit() else Err(text)


@propagate
def total(texts: list[str]) -> Result[int, str]:
    return Ok(sum(parse(t).unwrap() for t in texts))


def many(texts: list[str]) -> None:
    results = [parse(t) for t in texts]
    assert_type(collect(results), Ok[list[int]] | Err[str])
    values, errs = partition(results)
    assert_type(values, list[int])
    assert_type(errs, list[Err[str]])
    options: list[Option[int]] = [Some(1), Nothing()]
    assert_type(collect_options(options), Some[list[int]] | Nothing)
    assert_type(somes(options), list[int])


@catching(KeyError, ValueError)
def setting(name: str, *, default: int = 0) -> int:
    return int({"port": "80"}[name]) or default


@catching(on_error=str)
async def fetch(host: str) -> bytes:
    await asyncio.sleep(0)
    return host.encode()


def caught(r: Result[int, OSError]) -> None:
    port: Result[int, Exception] = setting("port", default=1)
    print(port)
    assert_type(asyncio.run(fetch("example.org")), Ok[bytes] | Err[str])
    assert_type(unwrap_or_raise(r), int)
