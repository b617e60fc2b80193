"""Option and Result as pydantic v2 field types, through ostrel.pydantic."""

import datetime
import json
import warnings
from typing import Generic, TypeVar

import pytest
from conftest import run_script
from ostrel import Err, Nothing, Ok, Some
from ostrel.pydantic import Option, Result
from pydantic import BaseModel, ValidationError


class Inner(BaseModel):
    n: int


class Job(BaseModel):
    retries: Option[int]
    outcome: Result[int, str] = Ok(0)
    when: Option[datetime.date] = Nothing()
    steps: list[Option[int]] = []
    parts: dict[str, Result[Inner, list[str]]] = {}


@pytest.mark.parametrize("code, out", [
    ("import sys, ostrel; print([m for m in sys.modules if m.startswith('pydantic')])", "[]"),
    ("import sys; sys.modules['pydantic_core'] = None\n"  # as if pydantic 2 were not installed
     "try: import ostrel.pydantic\nexcept ImportError as e: print(e)",
     "ostrel.pydantic needs pydantic 2; install it with: python3 -m pip install 'ostrel[pydantic]'"),
], ids=["import-ostrel", "without-pydantic"])
def test_pydantic_is_optional(code, out):
    proc = run_script(code)
    assert (proc.returncode, proc.stdout.strip(), proc.stderr) == (0, out, "")


@pytest.mark.parametrize("given, expected", [(None, Nothing()), (Nothing(), Nothing()), (5, Some(5)), ("5", Some(5)),
                                             (Some(5), Some(5)), (Some("6"), Some(6)), (0, Some(0))])
def test_option_validates(given, expected):
    got = Job(retries=given).retries
    assert type(got) is type(expected) and got == expected and (expected != Nothing() or got is Nothing())


@pytest.mark.parametrize("job", [
    Job(retries=3),
    Job(retries=None, outcome=Err("disk full").note("saving").traced("save").traced("run"),
        when=datetime.date(2026, 1, 2), steps=[1, None, 3],
        parts={"a": Ok(Inner(n=1)), "b": Err(["x", "y"]).note("parsing b")}),
])
def test_json_round_trip_keeps_variants_notes_and_trace(job):
    back = Job.model_validate_json(job.model_dump_json())
    meta = lambda j: [(type(r), r.notes, r.trace) for r in [j.outcome, *j.parts.values()]]  # noqa: E731
    assert back == job and meta(back) == meta(job) and Job.model_validate(job.model_dump()) == job


def test_dump_shapes():
    job = Job(retries=None, outcome=Err("bad").note("n").traced("t"), when=datetime.date(2026, 1, 2),
              steps=[Some(1), Nothing()], parts={"a": Ok(Inner(n=1))})
    shape = {"retries": None, "outcome": {"err": "bad", "notes": ["n"], "trace": ["t"]},
             "when": datetime.date(2026, 1, 2), "steps": [1, None], "parts": {"a": {"ok": {"n": 1}}}}
    assert job.model_dump() == shape and json.loads(job.model_dump_json()) == {**shape, "when": "2026-01-02"}
    assert Job(retries=5, outcome=Err("x")).model_dump()["outcome"] == {"err": "x"}  # no empty lists


@pytest.mark.parametrize("given, loc, kind", [  # retries=1 is added where not given
    ({"retries": "many"}, ("retries",), "int_parsing"), ({"retries": Ok(1)}, ("retries",), "int_type"),
    ({"retries": Some([1])}, ("retries",), "int_type"),
    ({"outcome": {"ok": "x"}}, ("outcome", "ok", "ok"), "int_parsing"),
    ({"outcome": {"err": 3}}, ("outcome", "err", "err"), "string_type"),
    ({"outcome": Err(3)}, ("outcome", "err", "err"), "string_type"),
    ({"outcome": {"err": "x", "notes": [1]}}, ("outcome", "err", "notes", 0), "string_type"),
    ({"outcome": {}}, ("outcome",), "result_type"), ({"outcome": 5}, ("outcome",), "result_type"),
    ({"outcome": Some(5)}, ("outcome",), "result_type"),
    ({"outcome": {"ok": 1, "err": "x"}}, ("outcome", "ok", "err"), "extra_forbidden"),
    ({"steps": [1, "x"]}, ("steps", 1), "int_parsing"),
    ({"parts": {"a": {"ok": {}}}}, ("parts", "a", "ok", "ok", "n"), "missing"), (None, ("retries",), "missing"),
])
def test_invalid_input_is_pydantics_validation_error(given, loc, kind):
    with pytest.raises(ValidationError) as info:
        Job.model_validate({} if given is None else {"retries": 1, **given})
    assert [(e["loc"], e["type"]) for e in info.value.errors()] == [(loc, kind)]


def test_json_schema():
    with warnings.catch_warnings():  # defaults that are options or results are left out of the schema
        warnings.simplefilter("ignore")
        props = Job.model_json_schema()["properties"]
    assert props["retries"] == {"anyOf": [{"type": "integer"}, {"type": "null"}], "title": "Retries"}
    assert props["when"]["anyOf"] == [{"format": "date", "type": "string"}, {"type": "null"}]
    ok, err = props["outcome"]["oneOf"]
    assert (ok["required"], ok["properties"]["ok"]["type"]) == (["ok"], "integer")
    assert (err["required"], err["properties"]["err"]["type"]) == (["err"], "string")
    assert err["properties"]["notes"]["items"] == {"type": "string"}
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        written = Job.model_json_schema(mode="serialization")["properties"]
    assert (written["outcome"]["default"], written["when"]["default"]) == ({"ok": 0}, None)


def test_bare_names_mean_any_and_arity_is_checked():
    class Loose(BaseModel):
        a: Option  # type: ignore[type-arg]
        b: Result  # type: ignore[type-arg]

    assert Loose(a=[1], b={"err": {"k": 1}}) == Loose(a=Some([1]), b=Err({"k": 1}))
    with pytest.raises(TypeError, match="2 type argument"):
        Result[int]


class Node(BaseModel):
    value: int
    next: Option["Node"] = Nothing()


T = TypeVar("T")
E = TypeVar("E")


class Box(BaseModel, Generic[T, E]):
    item: Option[T]
    outcome: Result[T, E]


def test_recursive_and_generic_models():
    chain = Node.model_validate({"value": 1, "next": {"value": 2, "next": None}})
    assert chain == Node(value=1, next=Some(Node(value=2)))
    assert Node.model_validate_json(chain.model_dump_json()) == chain
    box = Box[int, str](item="3", outcome={"err": "e"})
    assert (box.item, box.outcome) == (Some(3), Err("e"))
    with pytest.raises(ValidationError):
        Box[int, str](item=None, outcome={"err": 5})
