"""pydantic models with Option and Result fields: every line must pass all three checkers."""

from __future__ import annotations

from pydantic import BaseModel
from typing_extensions import assert_type

from ostrel import Err, Nothing, Ok, Some, is_err
from ostrel.pydantic import Option, Result


class Job(BaseModel):
    retries: Option[int]
    outcome: Result[float, str] = Ok(0.0)


def retries(job: Job) -> int:
    match job.retries:
        case Some(n):
            return n
        case Nothing():
            return 0


def failed(job: Job) -> str | None:
    if is_err(job.outcome):  # narrows the field in every checker
        assert_type(job.outcome, Err[str])
        return job.outcome.error
    return None


job = Job(retries=Some(3), outcome=Err("timeout").note("second try"))
loaded = Job.model_validate_json(job.model_dump_json())
assert_type(loaded.retries, Some[int] | Nothing)
assert_type(Job.model_validate({"retries": None}).outcome, Ok[float] | Err[str])
