"""catching and Result.catch, unwrap_or_raise, and the cause of UnwrapError."""

import asyncio
import inspect
import sys

import pytest
from conftest import raised

from ostrel import Err, Nothing, Ok, Result, Some, UnwrapError, catching, unwrap_or_raise

VE = ValueError("v")


def boom(exc):
    raise exc


async def aboom(exc):
    raise exc


@pytest.mark.parametrize("exc, targets, caught", [  # nested tuples; entries that are no class never match
    (VE, (), True), (VE, (KeyError,), False), (VE, ((KeyError, ValueError),), True),
    (VE, (KeyError, (OSError, (ArithmeticError, ValueError))), True), (VE, (5, "x", None, VE), False),
    (VE, (5, Exception), True), (VE, ([ValueError],), False), (KeyboardInterrupt(), (), False),
    (SystemExit(3), (), False), (KeyboardInterrupt(), (BaseException,), True),
])
@pytest.mark.parametrize("on_error", [None, repr])
@pytest.mark.parametrize("how", ["Result.catch", "catching", "async catching"])
def test_catch_matching(exc, targets, caught, on_error, how):
    seen = []  # on_error runs as an except clause: its exception is the one being handled, traceback and all
    handler = lambda e: seen.append(sys.exc_info()) or (on_error or (lambda e: e))(e)  # noqa: E731
    wrap = catching(*targets, on_error=on_error and handler)
    call = {"Result.catch": lambda: Result.catch(lambda: boom(exc), *targets, on_error=handler),
            "catching": lambda: wrap(boom)(exc), "async catching": lambda: asyncio.run(wrap(aboom)(exc))}[how]
    if caught:
        r = call()
        assert (type(r), r.notes, r.trace) == (Err, (), ()) and r.error == (repr(exc) if on_error else exc)
        assert (on_error or r.error is exc) and sys.exc_info() == (None, None, None) and exc.__traceback__
        assert seen == [(type(exc), exc, exc.__traceback__)] * (bool(on_error) or how == "Result.catch")
    else:
        e = raised(call)
        assert e is exc and e.__traceback__ is not None and seen == []


def reraise(e):
    raise  # noqa: PLE0704 - on_error runs while the exception is being handled


async def aread(path: str, *, mode: str = "r") -> int:
    """Doc."""
    return len(path + mode)


def test_catching_keeps_the_function_and_catch_returns_ok():
    for fn in (aread, len):
        decorated = catching(OSError)(fn)
        assert (decorated.__name__, decorated.__doc__, decorated.__wrapped__) == (fn.__name__, fn.__doc__, fn)
        assert inspect.iscoroutinefunction(decorated) is inspect.iscoroutinefunction(fn)
    assert inspect.signature(catching()(aread)) == inspect.signature(aread)
    assert asyncio.run(catching()(aread)("ab", mode="w")) == Ok(3) and catching()(len)("ab") == Ok(2)
    assert raised(lambda: catching(on_error=lambda e: boom(VE))(boom)(KeyError())) is VE
    assert raised(lambda: Result.catch(lambda: boom(VE), on_error=lambda e: {}["k"])).__context__ is VE
    assert raised(lambda: Result.catch(lambda: boom(VE), on_error=reraise)) is VE
    try:
        raise OSError("outer")
    except OSError as outer:  # the exception handled around the call is handled again after it
        Result.catch(lambda: boom(VE), on_error=repr)
        assert sys.exc_info()[1] is outer
    assert raised(lambda: catching()(5)).args == ("catching() decorates a function, not int",)
    v = object()
    got = [c.catch(lambda: v, on_error=pytest.fail) for c in (Result, Ok, Err)]
    assert [(type(r), r.value) for r in got] == [(Ok, v)] * 3
    assert Result.catch(5, on_error=type).error is TypeError  # calling a non-callable fails like any call


def test_unwrap_or_raise():
    value = object()
    assert unwrap_or_raise(Ok(value)) is value
    for other in (Some(1), Nothing(), None, 1):
        e = raised(lambda: unwrap_or_raise(other))
        assert repr(e) == f"TypeError('unwrap_or_raise() takes an Ok or Err, not {type(other).__name__}')"
    exc = KeyError("k")
    exc.__notes__ = ["already there"]
    r = Err(exc).note("already there").note("loading").note("loading").traced("parse").traced("start")
    assert raised(lambda: unwrap_or_raise(r)) is exc is raised(lambda: unwrap_or_raise(r))  # each note once
    assert exc.__notes__ == ["already there", "loading", "via parse <- start"]
    assert raised(lambda: unwrap_or_raise(r.note("more"))) is exc and exc.__notes__[3:] == ["more"]
    odd = OSError()
    odd.__notes__ = ("not", "a list")
    assert raised(lambda: unwrap_or_raise(Err(odd).note("n"))).__notes__ == ("not", "a list")  # left alone


EXC = OSError(2, "no such file")


@pytest.mark.parametrize("r, call, cause", [
    (Err(EXC), "r.unwrap()", EXC), (Err(EXC).note("n").traced("t"), "r.unwrap()", EXC),
    (Err(1).wrap_err(EXC), "r.unwrap()", EXC), (Err(1), "r.unwrap()", None), (Err(ValueError), "r.unwrap()", None),
    (Ok(EXC), "r.unwrap_err()", None), (Nothing(), "r.unwrap()", None), (Err(EXC), "r.unwrap(err='plain')", None),
    (Err(1), "unwrap_or_raise(r)", None), (Err(ValueError).note("a class is no exception"), "unwrap_or_raise(r)", None),
])
def test_unwrap_error_cause(r, call, cause):
    e = raised(lambda: eval(call, globals(), {"r": r}))
    assert type(e) is UnwrapError and e.__cause__ is cause and (e.__suppress_context__ or cause is None)
    assert e.container is r or "err=" in call
