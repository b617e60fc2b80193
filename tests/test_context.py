"""Error context (note, wrap_err, traced), the unwrap failure protocol, Result.catch, propagate."""

import asyncio
import inspect

import pytest
from conftest import processing_notes, run_script

from ostrel import Err, Ok, Result, Some, UnwrapError, propagate


S = type("S", (str,), {})


@pytest.mark.parametrize("op, field, other", [("note", "notes", "trace"), ("traced", "trace", "notes")])
def test_note_and_traced_extend_one_field(op, field, other):
    e0 = Err(ValueError("x"))._with_meta(("n0",), ("t0",))
    e = getattr(getattr(e0, op)(S("m")), op)("m2")
    assert type(e) is Err and e.error is e0.error and getattr(e, other) is getattr(e0, other)
    assert getattr(e, field) == getattr(e0, field) + ("m", "m2") and type(getattr(e, field)[1]) is str
    assert (e0.notes, e0.trace) == (("n0",), ("t0",))
    ok = Ok(1)
    assert getattr(ok, op)(S("m")) is ok and ok.wrap_err(object()) is ok


def test_wrap_err():
    e0 = Err(ValueError("x")).traced("t")
    e = e0.wrap_err("new")
    assert (e.error, e.notes) == ("new", ("caused by ValueError('x')",)) and e.trace is e0.trace
    assert Err(1).wrap_err(2).wrap_err(3).notes == ("caused by 1", "caused by 2") and Err(1).wrap_err(None).error is None
    surrogate = type("Sur", (), {"__repr__": lambda self: "a\ud800b"})()
    assert Err(surrogate).wrap_err(0).notes == ("caused by a\ufffd\ufffd\ufffdb",)


def test_unwrap_payloads_real_unwrap_error_and_sugar_order():
    v, r = object(), Err(1).note("n")
    assert Ok(v).unwrap() is v and Ok(v).unwrap(err="x", note=5) is v and Ok(v).expect("m") is v
    assert Err(v).unwrap_err() is v and Err(v).expect_err("m") is v
    with pytest.raises(UnwrapError) as exc:
        r.unwrap()
    assert exc.value.container is r and str(exc.value) == "unwrap failed on Err(1; note: n)"
    with pytest.raises(UnwrapError, match=r"^boom: Ok\('v'\)$"):
        Ok("v").expect_err("boom")
    for kwargs in ({"note": 5}, {"err": "E", "note": 5}):  # Err.note's own binding error, for msg
        with pytest.raises(TypeError, match="^'int' object is not an instance of 'str'") as exc:
            Err(1).unwrap(**kwargs)
        assert getattr(exc.value, "__notes__", None) == processing_notes("msg")


PROTOCOL = r"""
    import ostrel, ostrel._exceptions as X
    from ostrel import Err, Ok, Nothing, Some
    calls, mode = [], ["call"]
    class Meta(type):
        def __call__(cls, *args, **kwargs):
            inst = {"call": Exception.__new__(cls), "garbage": 42, "raise": None}[mode[0]]
            calls.append((args, kwargs, inst))
            return inst if inst is not None else {}["from UnwrapError"]
    class Rec(Exception, metaclass=Meta):
        pass
    class S(str):
        pass
    def fails(expr, etype):
        try:
            eval(expr)
        except etype as e:
            return e
        raise AssertionError(expr)
    for expr in ("Err(1).unwrap()", "Nothing().unwrap()"):  # a non-class is refused, and not kept
        X.UnwrapError = 5
        assert "ostrel._exceptions.UnwrapError is not a class" in str(fails(expr, TypeError))
    X.UnwrapError = Rec
    SITES = [
        ("Err(1)", "r.unwrap()", None, None), ("Err(1)", "r.unwrap(err=None, note=None)", None, None),
        ("Err(1)", "r.unwrap(err='E')", "Err('E'; note: caused by 1)", None),
        ("Err(1)", "r.unwrap(note='n')", "Err(1; note: n)", None),
        ("Err(1)", "r.unwrap(err='E', note=S('n'))", "Err('E'; note: caused by 1; note: n)", None),
        ("Err(1)", "r.expect(S('boom'))", None, "boom"), ("Err(1)", "r.danger_ok", None, None),
        ("Err(1)", "r.swap_err(0)", None, None), ("Ok(1)", "r.unwrap_err()", None, None),
        ("Ok(1)", "r.expect_err('boom')", None, "boom"), ("Ok(1)", "r.danger_err", None, None),
        ("Ok(1)", "r.swap_ok(0)", None, None), ("Nothing()", "r.unwrap()", None, None),
        ("Nothing()", "r.unwrap(err='E')", "Err('E')", None),
        ("Nothing()", "r.unwrap(err='E', note='n')", "Err('E'; note: n)", None),
        ("Nothing()", "r.expect('boom')", None, "boom"), ("Nothing()", "r.danger_some", None, None),
    ]
    for recv, expr, container, msg in SITES:
        r = eval(recv)
        try:
            raise KeyError("outer")
        except KeyError:
            e = fails(expr, Rec)
        args, kwargs, inst = calls.pop()
        assert e is inst and e.__cause__ is None and e.__context__ is None, expr
        assert kwargs == {} and len(args) == (1 if msg is None else 2), expr
        assert args[0] is r if container is None else repr(args[0]) == container, expr
        assert msg is None or (args[1] == msg and type(args[1]) is str), expr
    mode[0] = "garbage"
    for expr in ("Err(1).unwrap()", "Nothing().unwrap()"):
        assert str(fails(expr, TypeError)) == "UnwrapError() returned 42, not an exception instance"
    mode[0] = "raise"
    for expr in ("Ok(1).unwrap_err()", "Nothing().expect('m')"):
        assert str(fails(expr, KeyError)) == "'from UnwrapError'"
    mode[0] = "call"
    Err.wrap_err = lambda self, err: Ok(("W", err))  # ordinary attribute lookup on the receiver
    fails("Err(1).unwrap(err='E', note='n')", Rec)
    assert repr(calls.pop()[0][0]) == "Ok(('W', 'E'))"
    print("protocol ok")
"""


def test_unwrap_failure_protocol_at_every_raise_site():
    out = run_script(PROTOCOL)
    assert out.returncode == 0 and out.stdout == "protocol ok\n", out.stderr


def test_catch_returns_and_failures():
    v = object()
    for cls in (Result, Ok, Err):
        r = cls.catch(lambda: v, on_error=pytest.fail)
        assert type(r) is Ok and r.value is v
    assert repr(Result.catch(lambda: 1 / 0, on_error=str)) == "Err('division by zero')"
    assert Result.catch(5, on_error=type).error is TypeError


@propagate
def inner(x):
    """Inner doc."""
    return x


@propagate("middle site")
def middle(x):
    return inner(x)


@propagate
async def outer(x):
    return middle(x)


def test_propagate():
    e = Err("boom").note("n")
    assert inner(e).trace == ("inner",) and inner(e).notes is e.notes
    assert (inner.__name__, inner.__doc__, inner.__wrapped__.__name__) == ("inner", "Inner doc.", "inner")
    assert inspect.iscoroutinefunction(outer)
    r = asyncio.run(outer(e))
    assert r.trace == ("inner", "middle site", "outer")
    assert repr(r) == "Err('boom'; note: n; via inner <- middle site <- outer)"
    for passed in (Ok(1), Some(1), None, object()):
        assert inner(passed) is passed and asyncio.run(outer(passed)) is passed
    with pytest.raises(TypeError):
        propagate(5)
