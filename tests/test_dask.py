"""Results through Dask's distributed scheduler: a LocalCluster of two worker processes for the module."""

import logging
import sys

import cloudpickle
import pytest
from distributed import Client, LocalCluster
from distributed.protocol import pickle as dask_pickle
from ostrel import Err, Ok
from test_processes import BIG, SAMPLES, TIMEOUT, check_many, many, sample, shape, strays, wait_until_gone


@pytest.fixture(scope="module")
def run():
    """client.map(fn, *iterables), each result gathered; no worker may outlive the cluster."""
    with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                      silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
        yield lambda fn, *items: [f.result(timeout=TIMEOUT) for f in client.map(fn, *items, pure=False)]
    wait_until_gone(strays)


def ratio(a, b):
    return Ok(a / b) if b else Err(ZeroDivisionError("b is 0")).note(f"dividing {a}").traced("ratio")


@pytest.mark.parametrize("by_value", [False, True])
def test_results_arrive_as_built(run, by_value, request):
    if by_value:  # then this module's ratio goes by value, as a closure always does
        cloudpickle.register_pickle_by_value(sys.modules[__name__])
        request.addfinalizer(lambda: cloudpickle.unregister_pickle_by_value(sys.modules[__name__]))
    assert shape(run(sample, range(len(SAMPLES)))) == shape(SAMPLES)
    offset = 10
    shifted = run(lambda r: r.map(lambda v: v + offset).note("shifted"), run(ratio, [1, 2], [2, 0]))
    assert shape(shifted) == shape([Ok(10.5), ratio(2, 0).note("shifted")])
    # 10,000, not 100,000: Dask serialises a returned list element by element, which takes seconds for 100,000
    check_many(run(many, [BIG // 10])[0], BIG // 10)


@pytest.mark.parametrize("pickler", [cloudpickle, dask_pickle])
def test_serialisers_round_trip(pickler):
    assert shape([pickler.loads(pickler.dumps(s)) for s in SAMPLES]) == shape(SAMPLES)
