"""Results returned by worker processes: process pools, and Dask's distributed scheduler."""

import concurrent.futures
import contextlib
import logging
import multiprocessing
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import cloudpickle
import pytest
from distributed import Client, LocalCluster
from distributed.protocol import pickle as dask_pickle
from ostrel import Err, Ok, collect, partition
from test_docs import ROOT, python_blocks
from test_variants import SAMPLES, shape

TIMEOUT = 120
BIG = 100_000
HELPERS = re.compile(rb"multiprocessing\.(forkserver|resource_tracker) import")  # they live as long as we do


def sample(i):
    return SAMPLES[i]  # as built by the worker's own import of test_variants


def many(n):
    return [Ok(i) if i % 100 else Err(f"row {i}").note("checking rows") for i in range(n)]


def check_many(got, n):
    """``got`` is ``many(n)`` as sent back, and collect/partition work on it."""
    assert got == many(n) and all(e.notes == ("checking rows",) for e in got[::100])
    assert partition(got) == ([i for i in range(n) if i % 100], got[::100]) and collect(got) is got[0]


def live():
    """{pid: (parent pid, process group)} of every process that has not exited (a zombie has, and is not reaped
    everywhere)."""
    table = {}
    for stat in Path("/proc").glob("[0-9]*/stat"):
        with contextlib.suppress(OSError):  # gone meanwhile
            state, ppid, pgrp = stat.read_text().rpartition(")")[2].split()[:3]
            if state != "Z":
                table[int(stat.parent.name)] = int(ppid), int(pgrp)
    return table


def strays():
    """{pid: command line} of the processes below this one but the multiprocessing helpers right under it."""
    multiprocessing.active_children()  # reaps the workers that have exited
    table, found, todo = live(), {}, [os.getpid()]
    while todo:
        parent = todo.pop()
        for kid in [k for k, (pp, _) in table.items() if pp == parent]:
            todo.append(kid)
            with contextlib.suppress(OSError):
                cmd = Path(f"/proc/{kid}/cmdline").read_bytes()
                if parent != os.getpid() or not HELPERS.search(cmd):  # what runs below a helper counts
                    found[kid] = cmd
    return found


def wait_until_gone(find, wait=15.0):
    deadline = time.monotonic() + wait
    while (left := find()) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert not left, f"processes left behind: {left}"


@pytest.fixture(scope="module", params=["spawn", "forkserver", "pool", "dask"])
def pool_map(request):
    """(kind, map(fn, items)) over two worker processes of the given kind; none of them may outlive it."""
    if request.param == "dask":
        with LocalCluster(n_workers=2, threads_per_worker=1, processes=True, dashboard_address=None,
                          silence_logs=logging.ERROR) as cluster, Client(cluster) as client:
            yield "dask", lambda fn, items: [f.result(timeout=TIMEOUT) for f in client.map(fn, items, pure=False)]
    elif request.param == "pool":
        with multiprocessing.get_context("spawn").Pool(2) as pool:
            yield "pool", lambda fn, items: pool.map_async(fn, items).get(TIMEOUT)
    else:
        with concurrent.futures.ProcessPoolExecutor(2, mp_context=multiprocessing.get_context(request.param)) as ex:
            yield request.param, lambda fn, items: list(ex.map(fn, items, timeout=TIMEOUT))
    wait_until_gone(strays)


def test_results_arrive_as_built(pool_map):
    kind, run = pool_map
    assert shape(run(sample, range(len(SAMPLES)))) == shape(SAMPLES)
    if kind == "dask":  # a closure goes by value, and results go to the workers as arguments
        offset, pickled = 10, [p.loads(p.dumps(s)) for p in (cloudpickle, dask_pickle) for s in SAMPLES]
        shifted = run(lambda r: r.map(lambda v: v + offset).note("shifted"), SAMPLES[:2])
        assert shape(shifted) == shape([Ok(11), SAMPLES[1].note("shifted")]) and shape(pickled) == shape(SAMPLES * 2)
    # Dask serialises a returned list element by element, which takes seconds for 100,000
    n = BIG // 10 if kind == "dask" else BIG
    check_many(run(many, [n])[0], n)


@pytest.mark.parametrize("index", [0, 1], ids=["pool", "dask"])
def test_guide_scripts(index, tmp_path):
    """The guide's ```python no-run script blocks print their # Out: lines and leave no process behind."""
    body = [body for _, info, body in python_blocks(ROOT / "docs" / "guide.md") if "script" in info][index]
    (script := tmp_path / "example.py").write_text(body, encoding="utf-8")
    proc = subprocess.Popen([sys.executable, script], stdout=subprocess.PIPE, text=True, start_new_session=True)
    try:  # its stderr is the test's
        out = proc.communicate(timeout=TIMEOUT)[0]
        assert (proc.returncode, out.splitlines()) == (0, re.findall(r"^\s*# Out: ?(.*)$", body, re.M))
        wait_until_gone(lambda: [pid for pid, (_, group) in live().items() if group == proc.pid])
    finally:  # on a failure, take down whatever of it still runs
        with contextlib.suppress(ProcessLookupError):
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
