"""catching, unwrap_or_raise, and the cause of UnwrapError, in a printed traceback too."""

import asyncio
import gc
import inspect
import sys

import pytest
from conftest import balanced, run_script

from ostrel import Err, Nothing, Ok, Result, Some, UnwrapError, catching, unwrap_or_raise

VE = ValueError("v")


def boom(exc):
    def fn(*_):
        raise exc
    return fn


@pytest.mark.parametrize("exc, targets, caught", [  # nested tuples; entries that are no class never match
    (VE, (), True), (VE, (KeyError,), False), (VE, ((KeyError, ValueError),), True),
    (VE, (KeyError, (OSError, (ArithmeticError, ValueError))), True), (VE, (5, "x", None, VE), False),
    (VE, (5, Exception), True), (VE, ([ValueError],), False), (KeyboardInterrupt(), (), False),
    (SystemExit(3), (), False), (KeyboardInterrupt(), (BaseException,), True),
])
@pytest.mark.parametrize("on_error", [None, repr])
@pytest.mark.parametrize("how", ["Result.catch", "catching", "async catching"])
def test_catch_matching(exc, targets, caught, on_error, how):
    async def aboom():
        raise exc
    seen = []
    handler = lambda e: seen.append(e) or (on_error or (lambda e: e))(e)  # noqa: E731
    if how == "Result.catch":
        call = lambda: Result.catch(boom(exc), *targets, on_error=handler)  # noqa: E731
    else:
        fn = catching(*targets, on_error=on_error and handler)(aboom if how.startswith("async") else boom(exc))
        call = (lambda: asyncio.run(fn())) if how.startswith("async") else fn
    if caught:
        r = call()
        assert (type(r), r.notes, r.trace) == (Err, (), ()) and r.error == (repr(exc) if on_error else exc)
        assert (on_error or r.error is exc) and seen == [exc] * (bool(on_error) or how == "Result.catch")
    else:
        with pytest.raises(BaseException) as info:
            call()
        assert info.value is exc and info.value.__traceback__ is not None and seen == []


async def aread(path: str, *, mode: str = "r") -> int:
    """Doc."""
    return len(path + mode)


def test_catching_keeps_the_function():
    for fn in (aread, len):
        decorated = catching(OSError)(fn)
        assert (decorated.__name__, decorated.__doc__, decorated.__wrapped__) == (fn.__name__, fn.__doc__, fn)
        assert inspect.iscoroutinefunction(decorated) is inspect.iscoroutinefunction(fn)
    assert inspect.signature(catching()(aread)) == inspect.signature(aread)
    assert asyncio.run(catching()(aread)("ab", mode="w")) == Ok(3) and catching()(len)("ab") == Ok(2)
    with pytest.raises(TypeError, match="on_error failed"):
        catching(on_error=boom(TypeError("on_error failed")))(boom(VE))()
    with pytest.raises(TypeError, match="decorates a function"):
        catching()(5)


def test_unwrap_or_raise():
    value = object()
    assert unwrap_or_raise(Ok(value)) is value
    for r in (Err(1), Err(ValueError).note("a class is no exception")):
        with pytest.raises(UnwrapError) as info:
            unwrap_or_raise(r)
        assert info.value.container is r
    for other in (Some(1), Nothing(), None, 1):
        with pytest.raises(TypeError, match=rf"^unwrap_or_raise\(\) takes an Ok or Err, not {type(other).__name__}$"):
            unwrap_or_raise(other)


def test_unwrap_or_raise_adds_each_note_once():
    exc = KeyError("k")
    exc.__notes__ = ["already there"]
    r = Err(exc).note("already there").note("loading").note("loading").traced("parse").traced("start")
    for _ in range(2):
        with pytest.raises(KeyError) as info:
            unwrap_or_raise(r)
        assert info.value is exc and exc.__notes__ == ["already there", "loading", "via parse <- start"]
    with pytest.raises(KeyError):
        unwrap_or_raise(r.note("more"))
    assert exc.__notes__[-1] == "more" and len(exc.__notes__) == 4
    odd = OSError()
    odd.__notes__ = ("not", "a list")
    with pytest.raises(OSError) as info:
        unwrap_or_raise(Err(odd).note("n"))
    assert info.value.__notes__ == ("not", "a list")  # left alone, and the raise still happens


def test_unwrap_error_cause():
    exc = OSError(2, "no such file")
    for r in (Err(exc), Err(exc).note("n").traced("t"), Err(1).wrap_err(exc)):
        with pytest.raises(UnwrapError) as info:
            r.unwrap()
        assert info.value.__cause__ is exc and info.value.__suppress_context__ and info.value.container is r
    for raising in (lambda: Err(1).unwrap(), lambda: Err(ValueError).unwrap(), lambda: Ok(exc).unwrap_err(),
                    lambda: Nothing().unwrap(), lambda: Err(exc).unwrap(err="plain")):
        with pytest.raises(UnwrapError) as info:
            raising()
        assert info.value.__cause__ is None
    with pytest.raises(TypeError, match="no keyword arguments"):
        UnwrapError(Err(exc), msg="x")
    assert gc.is_tracked(UnwrapError(Err(exc))) and UnwrapError().container is None


TRACEBACKS = r"""
import sys
from ostrel import Err, propagate, unwrap_or_raise
@propagate
def parse(text):
    return Err(ValueError(f"bad port {text!r}")).note("reading the port")
@propagate
def start():
    return parse("http")
which = sys.argv[1]
if which == "cause":
    start().unwrap()
unwrap_or_raise(start())
"""


@pytest.mark.parametrize("which, shown", [
    ("cause", ["ValueError: bad port 'http'", "The above exception was the direct cause",
               "_exceptions.UnwrapError: unwrap failed on Err(ValueError(\"bad port 'http'\"); note: reading the port; "
               "via parse <- start)"]),
    ("notes", ["ValueError: bad port 'http'"] + (
        ["reading the port", "via parse <- start"] if sys.version_info >= (3, 11) else [])),
])
def test_printed_tracebacks(which, shown):
    proc = run_script(TRACEBACKS, which)
    found = [next((i for i, line in enumerate(proc.stderr.splitlines()) if want in line), -1) for want in shown]
    assert proc.returncode == 1 and -1 not in found and found == sorted(found), proc.stderr


@pytest.mark.parametrize("make", [
    lambda p: Err(p).unwrap(), lambda p: Err(p).note("n").expect("m"), lambda p: UnwrapError(Err(p), "m"),
    lambda p: Err(1).unwrap(err=p), lambda p: unwrap_or_raise(Err(p).note("n").traced("t")),
    lambda p: catching(OSError)(boom(p))(), lambda p: catching(KeyError)(boom(p))(),
])
def test_balanced(make):
    watched = object()  # a fresh exception per call: a re-raised one keeps every traceback
    balanced(lambda: make(OSError(watched)), watched, n=2000, slack=256)
