"""Argument conversion: conversion errors, subclasses and defaults, pass-through of callback exceptions."""

import copy

import pytest

from conftest import processing_notes, raised
from ostrel_core import Err, Nothing, Ok, Result, Some

f = print
# Binding by keyword and every binding error's exact text, on every method: test_fuzz.py.


TEXT_PARAMS = [(Err(1).note, "msg"), (Ok(1).note, "_msg"), (Err(1).expect, "msg"), (Ok(1).expect, "_msg"),
               (Ok(1).expect_err, "msg"), (Err(1).expect_err, "_msg"), (Err(1).traced, "site"),
               (Ok(1).traced, "_site"), (Some(1).expect, "_msg"), (Nothing().expect, "msg")]


@pytest.mark.parametrize("arg, error, text", [
    (5, TypeError, "'int' object is not an instance of 'str'"), (None, TypeError, "'None' is not an instance of 'str'"),
    (b"x", TypeError, "'bytes' object is not an instance of 'str'"), ("a\ud800", UnicodeEncodeError, "surrogates")])
@pytest.mark.parametrize("meth, name", TEXT_PARAMS, ids=[f"{m.__self__!r}.{m.__name__}" for m, _ in TEXT_PARAMS])
def test_text_conversion_errors(meth, name, arg, error, text):
    for call in (lambda: meth(arg), lambda: meth(**{name: arg})):
        e = raised(call)
        assert type(e) is error and text in str(e) and not str(e).startswith(name)
        assert getattr(e, "__notes__", None) == processing_notes(name)


def test_tuple_conversion_and_nested_qualname():
    Local, Bad = type("Local", (tuple,), {}), type("Bad", (), {})
    e = raised(lambda: Err(1)._with_meta(trace=[], notes=Bad()))  # converted in declaration order
    assert e.args == ("'Bad' object is not an instance of 'tuple'",)
    assert getattr(e, "__notes__", None) == processing_notes("notes")
    e = raised(lambda: Err(1)._with_meta((), 5))
    assert getattr(e, "__notes__", None) == processing_notes("trace")
    notes, trace = Local(("a",)), Local()
    r = Err(1)._with_meta(notes, trace)
    assert r.notes is notes and r.trace is trace
    assert Err(1)._with_meta(("a",)).trace == () == Err(1)._with_meta(("a",), None).trace == r.note("n").trace
    e = Err(ValueError("x")).note("old").traced("old")
    assert e._with_meta(notes=notes).error is e.error and (e.notes, e.trace) == (("old",), ("old",))


def test_subclasses_and_none_defaults():
    class S(str):
        pass

    assert Ok(1).expect(S("m")) == 1
    assert Ok(1).unwrap(err=None, note=None) == 1 == Ok(1).unwrap(err=5, note=5) == Some(1).unwrap(err=1, note=5)
    assert Some(1).unwrap(note="x") == 1  # Nothing's unwrap refuses a note without err
    for call in (lambda: Some.__copy__(Some(1), 2), lambda: Some(1).__copy__(2), lambda: Ok.map(Err(1), f)):
        assert type(raised(call)) is TypeError


def fail(*args):
    raise BOOM.with_traceback(None)


BOOM, LOUD = KeyError("k"), type("Loud", (), dict.fromkeys("__repr__ __str__ __eq__ __hash__ __bool__ "
                                                           "__deepcopy__".split(), fail))()
LOUD_EQ = type("LoudEq", (), {"__eq__": lambda s, o: LOUD, "__hash__": None})()  # == gives a failing truth
PASS_THROUGH = [  # every call site that runs user code hands its exception on untouched
    *[lambda m=m: getattr(Ok(1), m)(fail) for m in ("is_ok_and", "map", "and_then", "inspect", "__or__")],
    *[lambda m=m: getattr(Err(1), m)(fail) for m in ("is_err_and", "unwrap_or_else", "map_err", "or_else",
                                                        "inspect_err")],
    *[lambda m=m: getattr(Some(1), m)(fail) for m in ("map", "and_then", "inspect", "filter", "__rshift__")],
    *[lambda m=m: getattr(Nothing(), m)(fail) for m in ("unwrap_or_else", "or_else", "ok_or_else")],
    lambda: Ok(1).fold(fail, None), lambda: Err(1).fold(None, fail), lambda: Ok(1).is_ok_and(lambda v: LOUD),
    lambda: Err(1).is_err_and(lambda e: LOUD), lambda: Some(1).filter(lambda v: LOUD), lambda: Ok(1) >> fail,
    *[lambda c=c, op=op: op(c(LOUD)) for c in (Ok, Err, Some) for op in (repr, str, hash, copy.deepcopy)],
    lambda: Ok(LOUD) == Ok(1), lambda: Some(LOUD) != Some(1),
    lambda: Err(LOUD_EQ) == Err(1), lambda: Some(LOUD_EQ) == Some(1), lambda: Err(LOUD).wrap_err(0),
    lambda: Err(LOUD).unwrap(err="E", note=5),  # wrap_err fails before note is checked
    lambda: Result.catch(fail, ValueError, on_error=f),
    lambda: Result.catch(lambda: 1 / 0, on_error=fail),
]


@pytest.mark.parametrize("call", PASS_THROUGH)
def test_callback_exceptions_pass_through(call):
    e = raised(call)
    assert e is BOOM and e.__traceback__.tb_next is not None and not getattr(e, "__notes__", None)
