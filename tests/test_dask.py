"""Results through Dask's distributed scheduler: a LocalCluster of two worker processes for the module.

Dask sends functions with cloudpickle and results with pickle; both carry results here.
The guide's Dask script runs in test_processes.py.
"""

import logging
import sys

import cloudpickle
import pytest
from distributed import Client, LocalCluster, wait
from distributed.protocol import pickle as dask_pickle
from ostrel import Err, Ok, catching
from test_processes import BIG, SAMPLES, TIMEOUT, check_many, many, parse, sample, shape, strays, wait_until_gone


@pytest.fixture(scope="module")
def client():
    cluster = LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                           silence_logs=logging.ERROR)
    client = Client(cluster)
    yield client
    client.close()
    cluster.close()
    wait_until_gone(strays)


def run(client, fn, *iterables, **kwargs):
    futures = client.map(fn, *iterables, **kwargs)
    wait(futures, timeout=TIMEOUT)
    return client.gather(futures)


def ratio(a, b):
    """A function of this module: cloudpickle sends it by reference, or by value when asked to."""
    return Ok(a / b) if b else Err(ZeroDivisionError("b is 0")).note(f"dividing {a}").traced("ratio")


def test_results_arrive_as_built(client):
    got = run(client, sample, SAMPLES)
    assert [shape(v) for v in got] == [shape(sample(i)) for i in SAMPLES]
    assert run(client, parse, ["42", "x"])[1].error.args == ("invalid literal for int() with base 10: 'x'",)
    safe = catching(KeyError)(lambda key: {"a": 1}[key])  # a closure: sent by value
    ok, bad = run(client, safe, ["a", "b"], pure=False)
    assert ok == Ok(1) and type(bad.error) is KeyError and bad.error.args == ("b",)


@pytest.mark.parametrize("by_value", [False, True])
def test_functions_of_this_module_and_closures(client, by_value):
    module = sys.modules[__name__]
    if by_value:
        cloudpickle.register_pickle_by_value(module)
    try:
        got = run(client, ratio, [1, 2], [2, 0], pure=False)
        offset = 10
        shifted = run(client, lambda r: r.map(lambda v: v + offset).note("shifted"), got, pure=False)
    finally:
        if by_value:
            cloudpickle.unregister_pickle_by_value(module)
    assert shape(got) == shape([ratio(1, 2), ratio(2, 0)])
    assert shape(shifted) == shape([Ok(10.5), ratio(2, 0).note("shifted")])


def batch(n):
    return Ok(many(n))


def test_many_results(client):
    # A bare list of 10,000, not 100,000: Dask serialises a returned list element by element, which
    # takes seconds for 100,000 elements of any kind; inside one Ok the batch is pickled in one piece.
    check_many(client.submit(many, BIG // 10).result(timeout=TIMEOUT), BIG // 10)
    check_many(client.submit(batch, BIG).result(timeout=TIMEOUT).value, BIG)


@pytest.mark.parametrize("dumps, loads", [(cloudpickle.dumps, cloudpickle.loads),
                                          (dask_pickle.dumps, dask_pickle.loads)], ids=["cloudpickle", "dask"])
def test_serialisers_round_trip(dumps, loads):
    assert [shape(loads(dumps(sample(i)))) for i in SAMPLES] == [shape(sample(i)) for i in SAMPLES]
