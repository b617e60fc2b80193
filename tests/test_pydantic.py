"""Option and Result as pydantic v2 field types, through ostrel.pydantic."""

import datetime
import json
from typing import Generic, TypeVar

import pytest
from conftest import script_output
from ostrel import Err, Nothing, Ok, Some
from ostrel.pydantic import Option, Result
from pydantic import BaseModel, ValidationError

T = TypeVar("T")


class Job(BaseModel, Generic[T]):
    """Generic and recursive: the tests use Job[int]."""

    retries: Option[T]
    outcome: Result[T, str] = Ok(0)
    when: Option[datetime.date] = Nothing()
    steps: list[Option[int]] = []
    then: Option["Job[T]"] = Nothing()


def test_pydantic_is_optional():
    code = ("import sys, ostrel; print([m for m in sys.modules if m.startswith('pydantic')])\n"
            "sys.modules['pydantic_core'] = None\n"  # as if pydantic 2 were not installed
            "try: import ostrel.pydantic\nexcept ImportError as e: print(e)")
    assert script_output(code).splitlines() == [
        "[]", "ostrel.pydantic needs pydantic 2; install it with: python3 -m pip install 'ostrel[pydantic]'"]


@pytest.mark.parametrize("given, expected", [(None, Nothing()), (Nothing(), Nothing()), (5, Some(5)), ("5", Some(5)),
                                             (Some(5), Some(5)), (Some("6"), Some(6)), (0, Some(0))])
def test_option_validates(given, expected):
    got = Job[int](retries=given).retries
    assert type(got) is type(expected) and got == expected and (expected != Nothing() or got is Nothing())


def test_dump_and_round_trip():
    job = Job[int](retries=None, outcome=Err("bad").note("n").traced("t"), when=datetime.date(2026, 1, 2),
                   steps=[Some(1), Nothing()], then={"retries": 2, "outcome": {"ok": "3"}})
    dump = {"retries": None, "outcome": {"err": "bad", "notes": ["n"], "trace": ["t"]}, "when": job.when.value,
            "steps": [1, None], "then": {"retries": 2, "outcome": {"ok": 3}, "when": None, "steps": [], "then": None}}
    assert job.model_dump() == dump and json.loads(job.model_dump_json()) == {**dump, "when": "2026-01-02"}
    assert Job[int](retries=1, outcome=Err("x")).model_dump()["outcome"] == {"err": "x"}  # no empty lists
    for back in Job[int].model_validate_json(job.model_dump_json()), Job[int].model_validate(dump):
        assert back == job and (back.outcome.notes, back.outcome.trace) == (("n",), ("t",))


@pytest.mark.parametrize("given, loc, kind", [  # retries=1 is added
    ({"retries": "many"}, ("retries",), "int_parsing"), ({"retries": Some([1])}, ("retries",), "int_type"),
    ({"outcome": {"ok": "x"}}, ("outcome", "ok", "ok"), "int_parsing"),
    ({"outcome": Err(3)}, ("outcome", "err", "err"), "string_type"),
    ({"outcome": {"err": "x", "notes": [1]}}, ("outcome", "err", "notes", 0), "string_type"),
    ({"outcome": {}}, ("outcome",), "result_type"), ({"outcome": 5}, ("outcome",), "result_type"),
    ({"outcome": {"ok": 1, "err": "x"}}, ("outcome", "ok", "err"), "extra_forbidden"),
    ({"then": {"retries": "x"}}, ("then", "retries"), "int_parsing"),
])
def test_invalid_input_is_pydantics_validation_error(given, loc, kind):
    with pytest.raises(ValidationError) as info:
        Job[int].model_validate({"retries": 1, **given})
    assert [(e["loc"], e["type"]) for e in info.value.errors()] == [(loc, kind)]


@pytest.mark.filterwarnings("ignore:Default value")  # validation mode leaves out the defaults, not JSON themselves
def test_json_schema():
    read, written = (Job[int].model_json_schema(mode=mode)["$defs"]["Job_int_"]["properties"]
                     for mode in ("validation", "serialization"))
    assert read["retries"] == {"anyOf": [{"type": "integer"}, {"type": "null"}], "title": "Retries"}
    ok, err = read["outcome"]["oneOf"]
    assert (ok["required"], ok["properties"]["ok"]["type"], err["required"]) == (["ok"], "integer", ["err"])
    assert (err["properties"]["err"]["type"], err["properties"]["notes"]["items"]["type"]) == ("string", "string")
    assert written["outcome"] == {**read["outcome"], "default": {"ok": 0}} and written["when"]["default"] is None


def test_bare_names_mean_any_and_arity_is_checked():
    class Loose(BaseModel):
        a: Option  # type: ignore[type-arg]
        b: Result  # type: ignore[type-arg]

    assert Loose(a=[1], b={"err": {"k": 1}}) == Loose(a=Some([1]), b=Err({"k": 1}))
    with pytest.raises(TypeError, match="2 type argument"):
        Result[int]
