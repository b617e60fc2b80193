"""Result misuse that mypy --strict must reject; each marked line names its expected error."""

from __future__ import annotations

from typing_extensions import assert_never

from ostrel import Err, Ok, Result, propagate


def parse(text: str) -> Result[int, str]:
    return Ok(int(text)) if text.isdigit() else Err(text)


r = parse("1")
r.value  # E: Item "Err[str]" of "Ok[int] | Err[str]" has no attribute "value"
if r.is_ok:
    r.error  # E: "Ok[int]" has no attribute "error"
n: int = r.unwrap_or(None)  # E: expression has type "int | None", variable has type "int"
Err("e").map(fn_=str)  # E: Unexpected keyword argument "fn_" for "map" of "Err"
Ok(1).map(_fn=str)  # E: Unexpected keyword argument "_fn" for "map" of "Ok"
r.note(5)  # E: to "note" of
r.map(lambda v: v.upper())  # E: "int" has no attribute "upper"
Ok(1) < Ok(2)  # E: Unsupported left operand type for <
wrong: Result[str, str] = r  # E: Incompatible types in assignment
propagate(5)  # E: No overload variant of "propagate" matches argument type "int"


def partial(r: Result[int, str]) -> int:
    match r:
        case Ok(v):
            return v
        case _:
            assert_never(r)  # E: Argument 1 to "assert_never" has incompatible type "Err[str]"
