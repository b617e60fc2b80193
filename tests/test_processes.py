"""Results returned by worker processes: ProcessPoolExecutor (spawn, forkserver) and multiprocessing.Pool.

Each pool is started once for the module and shut down at its end, after which no worker
may be left (checked through /proc, with the multiprocessing helpers allowed to stay).
test_dask.py sends the same values through Dask with these helpers.
"""

import concurrent.futures
import contextlib
import multiprocessing
import os
import re
import signal
import subprocess
import sys
import time
from pathlib import Path

import pytest
from ostrel import Err, Nothing, Ok, Some, catching, collect, partition

ROOT = Path(__file__).resolve().parent.parent
TIMEOUT = 120
HELPERS = ("multiprocessing.forkserver", "multiprocessing.resource_tracker")  # live as long as we do
BIG = 100_000


def exception_with_note():
    exc = ValueError("bad value")
    exc.__notes__ = ["raised while parsing line 3"]  # what add_note stores (3.11+)
    return exc


def sample(i):
    """The i-th value a worker builds and sends back."""
    return [
        Ok(1), Err("disk full").note("saving report").traced("save").traced("run"), Some([1, {"k": (2, None)}]),
        Nothing(), Ok(Some(Err(Nothing()).note("inner"))), Err(exception_with_note()).note("outer").traced("parse"),
        [Ok(None), Some(Some(Nothing())), {"e": Err(b"\x00").traced("io")}],
    ][i]


SAMPLES = range(7)


def shape(value):
    """A comparable picture of a value: exceptions by type, args and notes; results with notes and
    trace; Nothing by whether it is the one shared instance."""
    if isinstance(value, BaseException):
        return (type(value), value.args, getattr(value, "__notes__", None))
    if isinstance(value, (Ok, Err)):
        return (type(value), shape(value.value if isinstance(value, Ok) else value.error), value.notes, value.trace)
    if isinstance(value, (Some, Nothing)):
        return (Some, shape(value.value)) if isinstance(value, Some) else ("Nothing", value is Nothing())
    if isinstance(value, (list, tuple)):
        return (type(value), [shape(v) for v in value])
    return {k: shape(v) for k, v in value.items()} if isinstance(value, dict) else value


def parse(text):
    """Raising code turned into results in the worker."""
    return catching(ValueError)(int)(text)


def lookup(key):
    return catching(KeyError, on_error=lambda exc: f"missing {exc}")({"a": 1}.__getitem__)(key)


def many(n):
    return [Ok(i) if i % 100 else Err(f"row {i}").note("checking rows") for i in range(n)]


def worker_pid(_):
    return os.getpid()


def check_many(got, n):
    """``got`` is ``many(n)`` as sent back, and collect/partition work on it."""
    assert got == many(n) and all(e.notes == ("checking rows",) for e in got[::100])
    values, errs = partition(got)
    assert (len(values), len(errs)) == (n - n // 100, n // 100)
    assert collect(got) is got[0] and collect(got[1:100]) == Ok(list(range(1, 100)))


def processes():
    """{pid: (parent pid, session id)} of every live process (Linux /proc; no psutil)."""
    table = {}
    for entry in filter(str.isdigit, os.listdir("/proc")):
        with contextlib.suppress(OSError):  # gone meanwhile
            stat = Path(f"/proc/{entry}/stat").read_text()
            state, ppid, _pgrp, sid = stat[stat.rindex(")") + 2:].split()[:4]
            if state != "Z":  # a zombie has exited and is only not yet reaped
                table[int(entry)] = (int(ppid), int(sid))
    return table


def cmdline(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def strays():
    """Processes below this one except the multiprocessing helpers (its children whose command
    line names one); whatever runs below a helper counts."""
    root, table = os.getpid(), processes()
    found, todo = [], [root]
    while todo:
        parent = todo.pop()
        for kid in [p for p, (pp, _) in table.items() if pp == parent]:
            todo.append(kid)
            if not (parent == root and any(h in cmdline(kid) for h in HELPERS)):
                found.append(kid)
    return {pid: cmdline(pid) for pid in found}


def wait_until_gone(find, wait=15.0):
    deadline = time.monotonic() + wait
    while (left := find()) and time.monotonic() < deadline:
        time.sleep(0.1)
    assert not left, f"processes left behind: {left}"


@pytest.fixture(scope="module", autouse=True)
def no_workers_left():
    yield
    assert multiprocessing.active_children() == []
    wait_until_gone(strays)


@pytest.fixture(scope="module", params=["spawn", "forkserver", "pool"])
def pool_map(request):
    """map(fn, items) over a pool of two workers of the given kind."""
    if request.param == "pool":
        pool = multiprocessing.get_context("spawn").Pool(2)
        yield lambda fn, items: pool.map_async(fn, items).get(TIMEOUT)
        pool.close()
        pool.join()
    else:
        with concurrent.futures.ProcessPoolExecutor(2, mp_context=multiprocessing.get_context(request.param)) as ex:
            yield lambda fn, items: list(ex.map(fn, items, timeout=TIMEOUT))


def test_results_arrive_as_built(pool_map):
    assert os.getpid() not in pool_map(worker_pid, range(4))  # the workers are other processes
    got = pool_map(sample, SAMPLES)
    assert [shape(v) for v in got] == [shape(sample(i)) for i in SAMPLES]
    ok, bad = pool_map(parse, ["42", "forty-two"])  # caught in the worker: type and message kept
    assert ok == Ok(42) and type(bad.error) is ValueError
    assert str(bad.error) == "invalid literal for int() with base 10: 'forty-two'"
    assert pool_map(lookup, ["a", "b"]) == [Ok(1), Err("missing 'b'")]


def test_a_hundred_thousand_results_in_one_list(pool_map):
    check_many(pool_map(many, [BIG])[0], BIG)


def session(sid):
    return {pid: cmdline(pid) for pid, (_, s) in processes().items() if s == sid}


@pytest.mark.parametrize("index", [0, 1], ids=["pool", "dask"])
def test_guide_scripts(index, tmp_path):
    """The guide's ```python no-run script blocks run as programs of their own, in their own session:
    the output matches their # Out: lines, and none of their processes outlives them."""
    text = (ROOT / "docs" / "guide.md").read_text(encoding="utf-8")
    body = re.findall(r"^```python no-run script\n(.*?)^```[ \t]*$", text, re.M | re.S)[index]
    script = tmp_path / "example.py"
    script.write_text(body, encoding="utf-8")
    proc = subprocess.Popen([sys.executable, str(script)], stdout=subprocess.PIPE, stderr=subprocess.PIPE,
                            text=True, start_new_session=True)
    try:
        out, err = proc.communicate(timeout=TIMEOUT)
        assert proc.returncode == 0, err
        assert out.splitlines() == re.findall(r"^\s*# Out: ?(.*)$", body, re.M)
        wait_until_gone(lambda: session(proc.pid))
    finally:  # on a failure, take down whatever of it still runs
        with contextlib.suppress(ProcessLookupError):
            os.killpg(proc.pid, signal.SIGKILL)
        proc.wait()
