"""propagate's early return: only the decorated body's own unwraps return, sync and async."""

import asyncio
import functools

import pytest

from ostrel import Err, Nothing, Ok, Some, UnwrapError, propagate


def undecorated(r):
    return r.unwrap()


# Each body unwraps `r` in one way (source text, so that its comprehensions belong to the
# decorated code object); the flag says whether a failure there is the body's own.
BODIES = {"Ok(r.unwrap())": True, "Ok([x.unwrap() for x in [r]])": True,
          "Ok({k: {x.unwrap() for x in [r]} for k in 'a'})": True, "Ok(sum(x.unwrap() for x in [r]))": True,
          "Ok(undecorated(r))": False, "Ok(list(map(lambda x: x.unwrap(), [r])))": False}


def as_functions(src):
    ns = {"Ok": Ok, "undecorated": undecorated, "asyncio": asyncio}
    exec(f"def body(r):\n    return {src}\n"
         f"async def abody(r):\n    await asyncio.sleep(0)\n    return {src}\n", ns)
    return ns["body"], ns["abody"]


@pytest.mark.parametrize("kind", BODIES)
@pytest.mark.parametrize("is_async", [False, True], ids=["sync", "async"])
def test_only_the_bodys_own_unwrap_returns(kind, is_async):
    body, abody = as_functions(kind)
    fn = propagate("site")(abody if is_async else body)
    call = (lambda r: asyncio.run(fn(r))) if is_async else fn
    assert call(Ok(2)).unwrap() in (2, [2], {"a": {2}})
    failing = Err(ValueError("v")).note("n")
    if BODIES[kind]:
        returned = call(failing)
        assert (type(returned), returned.error, returned.notes, returned.trace) == (
            Err, failing.error, ("n",), ("site",))
    else:
        with pytest.raises(UnwrapError) as info:
            call(failing)
        assert info.value.container is failing


@propagate
def steps(r, how):
    if how == "expect":
        return Ok(r.expect("reading r"))
    return Ok(r.unwrap(err="E", note="m") if how == "sugar" else r.unwrap_err() if how == "unwrap_err" else r.unwrap())


@pytest.mark.parametrize("r, how, expected", [
    (Err(1), "expect", Err(1)._with_meta(("reading r",), ("steps",))),
    (Err(1), "sugar", Err("E")._with_meta(("caused by 1", "m"), ("steps",))),
    (Nothing(), "sugar", Err("E")._with_meta(("m",), ("steps",))), (Nothing(), "unwrap", Nothing()),
    (Nothing(), "expect", Nothing()), (Some(3), "sugar", Ok(3)),
])
def test_containers_returned(r, how, expected):
    got = steps(r, how)
    assert got == expected and repr(got) == repr(expected)  # notes and trace too


def test_wrong_variant_and_deeper_decorated_failures_keep_raising():
    outer = propagate(lambda r: Ok(steps(r, "unwrap_err").unwrap()))  # steps raises through
    for call in (lambda: steps(Ok(1), "unwrap_err"), lambda: outer(Ok(1))):
        with pytest.raises(UnwrapError) as info:
            call()
        assert info.value.container == Ok(1)


class Callable:
    def __call__(self, r):
        return Ok(r.unwrap())


def plain(r, extra):
    return Ok(r.unwrap() + extra)


@pytest.mark.parametrize("fn, site", [(functools.partial(plain, extra=1), "plain"), (Callable(), "Callable"),
                                      (functools.lru_cache(functools.partial(plain, extra=1)), "plain")])
def test_sites_and_early_return_of_other_callables(fn, site):
    decorated = propagate(fn)
    assert decorated(Ok(1)) in (Ok(1), Ok(2))
    r = decorated(Err("x"))
    assert (r.error, r.trace) == ("x", (site,))


@pytest.mark.parametrize("make", [lambda: propagate(5), lambda: propagate("site")(5)])
def test_non_callable_refused_alike(make):
    with pytest.raises(TypeError, match=r"^propagate\(\) takes a function or a site name, not int$"):
        make()
