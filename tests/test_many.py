"""collect, partition, collect_options, somes: results, stopping, positions, leaks."""

import pytest
from conftest import balanced, run_script

from ostrel import Err, Nothing, Ok, Some, collect, collect_options, partition, somes


class Boom(Exception):
    pass


def consumed(items, log):
    """A generator over `items` that records how many it has handed out."""
    for item in items:
        log.append(item)
        yield item


@pytest.mark.parametrize("fn, items, expected", [  # the generator is consumed up to the first failure only
    (collect, [Ok(1), Err("a").note("n"), Ok(2), Err("b")], 1), (collect_options, [Some(1), Nothing(), Some(2)], 1),
    (collect, [Ok(1), Ok([2])], Ok([1, [2]])), (collect, [], Ok([])), (collect_options, [Some("a")], Some(["a"])),
])
def test_collect_and_collect_options_stop_at_the_first_failure(fn, items, expected):
    log = []
    got = fn(consumed(items, log))
    assert got is items[expected] and log == items[:2] if type(expected) is int else (
        type(got) is type(expected) and got == expected and log == items)


def test_partition_keeps_the_err_objects_and_somes_skips_nothing():
    errs = [Err("a").note("n").traced("t"), Err("b")]
    values, got = partition([Ok(1), errs[0], Ok(2), errs[1]])
    assert values == [1, 2] and all(g is e for g, e in zip(got, errs, strict=True)) and len(got) == 2
    assert partition([]) == ([], []) and somes([Nothing(), Some(1), Some(None)]) == [1, None]


@pytest.mark.parametrize("fn, good, expected", [(collect, Ok, "Ok or Err"), (partition, Ok, "Ok or Err"),
                                                (collect_options, Some, "Some or Nothing"),
                                                (somes, Some, "Some or Nothing")])
@pytest.mark.parametrize("stranger", [None, "x", Boom(), Ok, Some(1), Err(1)], ids=repr)
def test_strangers_named_by_position(fn, good, expected, stranger):
    if type(stranger).__name__ not in expected:  # a variant of the other family is a stranger too
        with pytest.raises(TypeError) as info:
            fn([good(1), good(2), stranger, good(3)])
        assert str(info.value) == f"{fn.__name__}() item 2 is {type(stranger).__name__}, not {expected}"


def raising(first):
    yield first
    raise Boom("mid-way")


@pytest.mark.parametrize("fn, good", [(collect, Ok), (partition, Ok), (collect_options, Some), (somes, Some)])
@pytest.mark.parametrize("make, exc", [(lambda good: 5, TypeError), (lambda good: None, TypeError),
                                       (lambda good: raising(good(1)), Boom)])
def test_bad_iterables_raise(fn, good, make, exc):
    with pytest.raises(exc):
        fn(make(good))


@pytest.mark.parametrize("fn, items", [
    (collect, lambda v: [Ok(v), Ok(v)]), (collect, lambda v: [Ok(v), Err(v), Ok(v)]),
    (collect, lambda v: [Ok(v), v]), (collect, lambda v: (x for x in [Ok(v), Ok(v)])),
    (partition, lambda v: [Ok(v), Err(v)]), (partition, lambda v: [Err(v), v]),
    (collect_options, lambda v: [Some(v), Some(v)]), (collect_options, lambda v: [Some(v), Nothing()]),
    (collect_options, lambda v: iter([Some(v), v])), (somes, lambda v: [Some(v), Nothing(), v]),
    (somes, lambda v: [Some(v)] * 3), (collect, lambda v: raising(Ok(v))),
    (somes, lambda v: raising(Some(v))),
])
def test_balanced(fn, items):
    payload = object()
    balanced(lambda: fn(items(payload)), payload, n=2000, slack=256)


def test_huge_input_in_a_subprocess():
    proc = run_script("""
        from ostrel import Ok, collect, partition
        n = 2_000_000
        r = collect(Ok(i) for i in range(n))
        assert len(r.value) == n and r.value[-1] == n - 1
        values, errs = partition(Ok(i) for i in range(n))
        assert len(values) == n and errs == []
    """, timeout=120)
    assert proc.returncode == 0, proc.stderr
