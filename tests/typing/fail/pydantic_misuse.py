"""Misuse of Option and Result model fields that the checkers must reject."""

from __future__ import annotations

from pydantic import BaseModel

from ostrel import Ok
from ostrel.pydantic import Option, Result


class Job(BaseModel):
    retries: Option[int]
    outcome: Result[float, str]


job = Job.model_validate({"retries": 1, "outcome": {"ok": 2.0}})
job.retries + 1  # E[mypy]: Unsupported operand types for +  # E[pyright,basedpyright]: reportOperatorIssue
Job(retries=3, outcome=Ok(1.0))  # E[mypy]: Argument "retries" to "Job" has incompatible type "int"  # E[pyright,basedpyright]: reportArgumentType
