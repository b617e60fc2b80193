"""Argument conversion: conversion errors, tuples, ignored arguments, arity."""

import pytest

from conftest import processing_notes, raised
from ostrel_core import Err, Nothing, Ok, Some


# Binding by keyword and every binding error's exact text, on every method: test_fuzz.py; exceptions of user
# code handed on: test_leaks.py.


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


def test_ignored_sugar_and_arity():  # str subclasses as text: test_context.py
    assert Ok(1).unwrap(err=None, note=None) == 1 == Ok(1).unwrap(err=5, note=5) == Some(1).unwrap(err=1, note=5)
    assert Some(1).unwrap(note="x") == 1  # Nothing's unwrap refuses a note without err
    for call in (lambda: Some.__copy__(Some(1), 2), lambda: Some(1).__copy__(2), lambda: Ok.map(Err(1), print)):
        assert type(raised(call)) is TypeError
