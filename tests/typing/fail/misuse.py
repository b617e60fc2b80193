"""Misuse the checkers must reject; the lines only the pyright family rejects are the guide's "Typing" table."""

from __future__ import annotations

from pydantic import BaseModel
from typing_extensions import assert_never

from ostrel import Err, Ok, Option, Result, propagate
from ostrel import pydantic as fields


class Job(BaseModel):
    retries: fields.Option[int]
    outcome: fields.Result[float, str]


def misuse(r: Result[int, str], o: Option[int], job: Job) -> None:
    print(r.value)  # E[mypy]: Item "Err[str]" of "Ok[int] | Err[str]"  # E[pyright,basedpyright]: class "Err[str]"
    print(o.value)  # E[mypy]: Item "Nothing" of "Some[int] | Nothing"  # E[pyright,basedpyright]: class "Nothing"
    if r.is_ok:
        print(r.value)  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Err[str]"
    if o.is_some:
        print(o.value)  # E[pyright,basedpyright]: Cannot access attribute "value" for class "Nothing"
    print(r | (lambda v: v + 1))  # E[pyright,basedpyright]: reportUnknownLambdaType
    print(r >> (lambda v: "x" * v))  # E[pyright,basedpyright]: reportUnknownLambdaType
    Err("e").map(fn_=str)  # E[mypy]: Unexpected keyword argument "fn_"  # E[pyright,basedpyright]: named "fn_"
    r.note(5)  # E[mypy]: Argument 1 to "note" of  # E[pyright,basedpyright]: "Literal[5]" is not assignable to "str"
    r.map(lambda v: v.upper())  # E[mypy]: "int" has no attribute "upper"  # E[pyright,basedpyright]: class "int"
    print(Ok(1) < Ok(2))  # E[mypy]: Unsupported left operand type for <  # E[pyright,basedpyright]: Operator "<"
    wrong: Result[str, str] = r  # E[mypy]: Incompatible types  # E[pyright,basedpyright]: reportAssignmentType
    propagate(5)  # E[mypy]: No overload variant of "propagate"  # E[pyright,basedpyright]: No overloads for "propagate"
    print(job.retries + 1)  # E[mypy]: Unsupported operand types for +  # E[pyright,basedpyright]: reportOperatorIssue
    Job(retries=3, outcome=Ok(1.0))  # E[mypy]: "retries" to "Job"  # E[pyright,basedpyright]: reportArgumentType
    match r:
        case Ok():
            pass
        case _:
            assert_never(r)  # E[mypy]: type "Err[str]"; expected "Never"  # E[pyright,basedpyright]: to type "Never"
