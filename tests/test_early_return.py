"""propagate: trace sites, the wrapper, and early return only for the decorated body's own unwraps, sync and async."""

import asyncio
import copy
import functools
import inspect
import pickle
import weakref

import pytest
from conftest import raised

from ostrel import Err, Nothing, Ok, Some, UnwrapError, propagate


def named(x):
    """Doc."""
    return x


async def anamed(x):
    return x


def plain(r, extra):
    return Ok(r.unwrap() + extra)


Callable = type("Callable", (), {"__call__": lambda self, r: Ok(r.unwrap())})


def test_sites_wrapper_and_pass_through():
    sync, e = propagate(named), Err("boom").note("n")
    assert (sync.__name__, sync.__doc__, sync.__wrapped__) == ("named", "Doc.", named)
    assert sync(e).trace == ("named",) and sync(e).notes is e.notes
    asynced = propagate(anamed)
    assert inspect.iscoroutinefunction(asynced) and asyncio.run(asynced(e)).trace == ("anamed",)
    for passed in (Ok(1), Some(1), None, object()):
        assert sync(passed) is passed and asyncio.run(asynced(passed)) is passed
    partial = functools.partial(plain, extra=1)
    for fn, site in ((partial, "plain"), (Callable(), "Callable"), (functools.lru_cache(partial), "plain")):
        assert propagate(fn)(Err("x")).trace == (site,)  # an early return from the unwrap in the body
    for make in (lambda: propagate(5), lambda: propagate("site")(5)):
        assert repr(raised(make)) == "TypeError('propagate() takes a function or a site name, not int')"


@propagate
def module_level(x: int, *, y: str = "") -> object:
    return Ok(x)


def test_function_attributes_and_pickling_by_reference():
    def local(r):
        return r
    local.tag = "t"
    sync = propagate(local)
    assert (sync.__qualname__, sync.__module__, sync.tag, weakref.ref(sync)()) == (local.__qualname__, __name__, "t", sync)
    assert str(inspect.signature(module_level)) == "(x: int, *, y: str = '') -> object"
    assert module_level.__annotations__ == {"x": int, "y": str, "return": object}  # on 3.14 too
    assert all(c is module_level for c in (pickle.loads(pickle.dumps(module_level)), copy.deepcopy(module_level)))
    assert type(raised(lambda: pickle.dumps(sync))) is type(raised(lambda: pickle.dumps(local)))  # found by no name


class Methods:  # propagate over and under classmethod and staticmethod: the wrapped function gets its arguments
    def plain(self, r):
        return Ok((type(self).__name__, r.unwrap()))

    def of_class(cls, r):
        return Ok((cls.__name__, r.unwrap()))

    def static(r):
        return Ok(("static", r.unwrap()))

    plain = propagate(plain)
    over_class, under_class = propagate(classmethod(of_class)), classmethod(propagate(of_class))
    over_static, under_static = propagate(staticmethod(static)), staticmethod(propagate(static))


class Sub(Methods):
    pass


@pytest.mark.parametrize("name, site", [("plain", "plain"), ("over_class", "of_class"), ("under_class", "of_class"),
                                        ("over_static", "static"), ("under_static", "static")])
def test_methods_in_either_order(name, site):
    obj, receiver = Sub(), "static" if "static" in name else "Sub"
    through_class = functools.partial(Sub.plain, obj) if name == "plain" else getattr(Sub, name)
    for call in (getattr(obj, name), through_class):
        assert call(Ok(1)) == Ok((receiver, 1)) and call(Err("e")).trace == (f"Methods.{site}",)


F = Err(ValueError("v")).note("n")
OWN = F._with_meta(("n",), ("site",))
SUGAR = "Ok(r.unwrap(err='E', note='m'))"


@pytest.mark.parametrize("src, r, expected", [  # the body's return expression; None: UnwrapError on r is raised
    ("Ok(r.unwrap())", F, OWN), ("Ok([x.unwrap() for x in [r]])", F, OWN),
    ("Ok({k: {x.unwrap() for x in [r]} for k in 'a'})", F, OWN), ("Ok(sum(x.unwrap() for x in [r]))", F, OWN),
    ("Ok(undecorated(r))", F, None), ("Ok(list(map(lambda x: x.unwrap(), [r])))", F, None),
    ("Ok(r.expect('reading r'))", Err(1), Err(1)._with_meta(("reading r",), ("site",))),
    (SUGAR, Err(1), Err("E")._with_meta(("caused by 1", "m"), ("site",))),
    (SUGAR, Nothing(), Err("E")._with_meta(("m",), ("site",))), (SUGAR, Some(3), Ok(3)),
    ("Ok(r.unwrap())", Nothing(), Nothing()), ("Ok(r.expect('m'))", Nothing(), Nothing()),
    ("Ok(r.unwrap_err())", Ok(1), None), ("Ok(r.expect_err('m'))", Ok(1), None),
])
@pytest.mark.parametrize("is_async", [False, True], ids=["sync", "async"])
def test_early_return(src, r, expected, is_async):
    ns = {"Ok": Ok, "undecorated": lambda r: r.unwrap(), "asyncio": asyncio}
    exec(f"def body(r):\n    return {src}\nasync def abody(r):\n    await asyncio.sleep(0)\n    return {src}\n", ns)
    fn = propagate("site")(ns["abody" if is_async else "body"])
    call = (lambda: asyncio.run(fn(r))) if is_async else (lambda: fn(r))
    got = raised(call) if expected is None else call()
    assert (type(got) is UnwrapError and got.container is r) if expected is None else (
        got == expected and repr(got) == repr(expected))  # notes and trace too
