"""collect, partition, collect_options, somes; and no leaks there, in catching, propagate or on the unwrap failure paths."""

import pytest
from conftest import balanced, raised

from ostrel import Err, Nothing, Ok, Some, UnwrapError, catching, collect, collect_options, partition, somes
from ostrel import propagate, unwrap_or_raise
from ostrel._extension import accel
from test_early_return import Methods

E1 = Err("a").note("n").traced("t")


def cyclic(x):  # the wrapper is reachable from its own dict and from its function's closure
    w = propagate(lambda r: (w, x, r.unwrap()))
    w.me = w
    return w(Err(x))


def raising(first):
    yield first
    raise KeyError("mid-way")


@pytest.mark.parametrize("fn, items, expected", [  # an int: the item returned, the rest left unconsumed
    (collect, [Ok(1), E1, Ok(2), Err("b")], 1), (collect_options, [Some(1), Nothing(), Some(2)], 1),
    (collect, [Ok(1), Ok([2])], Ok([1, [2]])), (collect, [], Ok([])), (collect_options, [Some("a")], Some(["a"])),
    (partition, [Ok(1), E1, Ok(2), Err("b")], ([1, 2], [E1, Err("b")])), (partition, [], ([], [])),
    (somes, [Nothing(), Some(1), Some(None)], [1, None]),
])
def test_results_and_stopping(fn, items, expected):
    log = []
    got = fn(log.append(x) or x for x in items)
    if type(expected) is int:
        assert got is items[expected] and log == items[:expected + 1]
    else:
        assert type(got) is type(expected) and got == expected and log == items
        assert fn is not partition or all(g is e for g, e in zip(got[1], items[1::2]))  # the Err objects kept


@pytest.mark.parametrize("fn, good", [(collect, Ok), (partition, Ok), (collect_options, Some), (somes, Some)])
def test_strangers_named_by_position_and_bad_iterables(fn, good):
    expected = "Ok or Err" if good is Ok else "Some or Nothing"
    for stranger in (None, "x", KeyError(), Ok, Some(1), Err(1)):
        if type(stranger).__name__ not in expected:  # a variant of the other family is a stranger too
            e = raised(lambda: fn([good(1), good(2), stranger, good(3)]))
            assert repr(e) == repr(TypeError(f"{fn.__name__}() item 2 is {type(stranger).__name__}, not {expected}"))
    for arg, exc in ((5, TypeError), (None, TypeError), (raising(good(1)), KeyError)):
        assert type(raised(lambda: fn(arg))) is exc


@pytest.mark.parametrize("make", [  # x holds the watched object; a fresh exception, as a re-raised one keeps tracebacks
    lambda x: collect([Ok(x), Ok(x)]), lambda x: collect([Ok(x), Err(x), Ok(x)]), lambda x: collect([Ok(x), x]),
    lambda x: collect(y for y in [Ok(x), Ok(x)]), lambda x: collect(raising(Ok(x))),
    lambda x: partition([Ok(x), Err(x)]), lambda x: partition([Err(x), x]),
    lambda x: collect_options([Some(x), Some(x)]), lambda x: collect_options([Some(x), Nothing()]),
    lambda x: collect_options(iter([Some(x), x])), lambda x: somes([Some(x), Nothing(), x]),
    lambda x: somes([Some(x)] * 3), lambda x: somes(raising(Some(x))),
    lambda x: Err(x).unwrap(), lambda x: Err(x).note("n").expect("m"), lambda x: UnwrapError(Err(x), "m"),
    lambda x: Err(1).unwrap(err=x), lambda x: unwrap_or_raise(Err(x).note("n").traced("t")),
    lambda x: catching(OSError)(unwrap_or_raise)(Err(x)), lambda x: catching(KeyError)(unwrap_or_raise)(Err(x)),
    lambda x: propagate(lambda r: r)(Err(x)), lambda x: propagate(lambda r: Ok(r.unwrap()))(Err(x)),
    lambda x: propagate("s")(lambda r: Ok(r.unwrap_err()))(Ok(x)), lambda x: propagate(lambda r: r.unwrap())(Ok(x)),
    lambda x: Methods().plain(Err(x)), lambda x: Methods().plain, lambda x: Methods.over_class(Err(x)), cyclic,
    lambda x: accel.Propagated(lambda: Err(x).unwrap(), "s", UnwrapError, lambda e: 1 / 0)(),
])
def test_balanced(make):
    watched = object()
    balanced(lambda: make(OSError(watched)), watched, n=2000, slack=256)
