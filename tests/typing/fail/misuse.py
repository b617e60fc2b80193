"""Misuse the checkers must reject; the lines only the pyright family rejects are the guide's "Typing" table."""

from __future__ import annotations

from pydantic import BaseModel
from typing_extensions import assert_never

from ostrel import Err, Ok, Option, Result, Some, is_err, propagate
from ostrel import pydantic as fields


class Job(BaseModel):
    retries: fields.Option[int]
    outcome: fields.Result[float, str]


def misuse(r: Result[int, str], o: Option[int], job: Job) -> None:
    print(r.value)  # E[mypy]: Item "Err[str, int]" of "Ok[int, str] | Err[str, int]"  # E[pyright,basedpyright]: class "Err[str, int]"
    print(o.value)  # E[mypy]: Item "Nothing[int]" of "Some[int] | Nothing[int]"  # E[pyright,basedpyright]: class "Nothing[int]"
    if r.is_ok:
        print(r.value)  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Err[str, int]"
    if o.is_some:
        print(o.value)  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Nothing[int]"
    print(r | (lambda v: v + 1))  # E[pyright,basedpyright]: reportUnknownLambdaType
    print(r >> (lambda v: Ok("x" * v)))  # E[pyright,basedpyright]: reportUnknownLambdaType
    Err("e").map(fn_=str)  # E[mypy]: Unexpected keyword argument "fn_"  # E[pyright,basedpyright]: named "fn_"
    r.note(5)  # E[mypy]: Argument 1 to "note" of  # E[pyright,basedpyright]: "Literal[5]" is not assignable to "str"
    r.map(lambda v: str(v.upper()))  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: class "int"
    r.and_then(lambda v: Ok(v.upper()))  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: class "int"
    r.map_err(lambda e: int(e.bit_length()))  # E[mypy]: "str" has no attribute "bit_length"  # E[pyright,basedpyright]: class "str"
    o.map(lambda v: Some(v.upper()))  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: class "int"
    o.filter(lambda v: bool(v.upper()))  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: class "int"
    r.and_then(lambda v: v + 1)  # E[mypy]: Argument 1 to "and_then" of "Ok"  # E[pyright,basedpyright]: reportArgumentType
    print(Ok(1) < Ok(2))  # E[mypy]: Unsupported left operand type for <  # E[pyright,basedpyright]: Operator "<"
    wrong: Result[str, str] = r  # E[mypy]: Incompatible types  # E[pyright,basedpyright]: reportAssignmentType
    propagate(5)  # E[mypy]: No overload variant of "propagate"  # E[pyright,basedpyright]: No overloads for "propagate"
    print(job.retries + 1)  # E[mypy]: Unsupported operand types for +  # E[pyright,basedpyright]: reportOperatorIssue
    Job(retries=3, outcome=Ok(1.0))  # E[mypy]: "retries" to "Job"  # E[pyright,basedpyright]: reportArgumentType
    match r:
        case Ok():
            pass
        case _:
            assert_never(r)  # E[mypy]: type "Err[str, int]"; expected "Never"  # E[pyright,basedpyright]: to type "Never"


def label(r: Result[int, str]) -> Result[str, str]:  # the narrowed Err[str, int] is no Result[str, str]
    return r if is_err(r) else Ok(str(r.value))  # E[mypy]: Incompatible return value type  # E[pyright,basedpyright]: reportReturnType
