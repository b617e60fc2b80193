"""Result misuse that mypy --strict must reject; each marked line names its expected error."""

from __future__ import annotations

from typing_extensions import assert_never

from ostrel import Err, Ok, Result, propagate


def parse(text: str) -> Result[int, str]:
    return Ok(int(text)) if text.isdigit() else Err(text)


r = parse("1")
r.value  # E[mypy]: Item "Err[str]" of "Ok[int] | Err[str]" has no attribute "value"  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Err[str]"
if r.is_ok:
    r.error  # E[mypy]: "Ok[int]" has no attribute "error"  # E[pyright,basedpyright]: Cannot access attribute "error" for class "Ok[int]"
n: int = r.unwrap_or(None)  # E[mypy]: expression has type "int | None", variable has type "int"  # E[pyright,basedpyright]: "None" is not assignable to "int"
Err("e").map(fn_=str)  # E[mypy]: Unexpected keyword argument "fn_" for "map" of "Err"  # E[pyright,basedpyright]: No parameter named "fn_"
Ok(1).map(_fn=str)  # E[mypy]: Unexpected keyword argument "_fn" for "map" of "Ok"  # E[pyright,basedpyright]: No parameter named "_fn"
r.note(5)  # E[mypy]: to "note" of  # E[pyright,basedpyright]: "Literal[5]" is not assignable to "str"
r.map(lambda v: v.upper())  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: Cannot access attribute "upper" for class "int"
Ok(1) < Ok(2)  # E[mypy]: Unsupported left operand type for <  # E[pyright,basedpyright]: Operator "<" not supported
wrong: Result[str, str] = r  # E[mypy]: Incompatible types in assignment  # E[pyright,basedpyright]: reportAssignmentType
propagate(5)  # E[mypy]: No overload variant of "propagate" matches argument type "int"  # E[pyright,basedpyright]: No overloads for "propagate"


def partial(r: Result[int, str]) -> int:
    match r:
        case Ok(v):
            return v
        case _:
            assert_never(r)  # E[mypy]: Argument 1 to "assert_never" has incompatible type "Err[str]"  # E[pyright,basedpyright]: "Err[str]" is not assignable to type "Never"
