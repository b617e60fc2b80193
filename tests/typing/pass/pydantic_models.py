"""pydantic models with Option and Result fields, which narrow like any other."""

from __future__ import annotations

from pydantic import BaseModel
from typing_extensions import assert_type

from ostrel import Err, Ok, Some, is_err
from ostrel.pydantic import Option, Result


class Job(BaseModel):
    retries: Option[int]
    outcome: Result[float, str] = Ok(0.0)


job = Job(retries=Some(3), outcome=Err("timeout").note("second try"))
assert_type(job.outcome.error if is_err(job.outcome) else None, str | None)
assert_type(Job.model_validate_json(job.model_dump_json()).retries.map(lambda v: assert_type(v, int)), Option[int])
assert_type(Job.model_validate({"retries": None}).outcome, Result[float, str])
