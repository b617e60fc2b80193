"""Results returned by worker processes: ProcessPoolExecutor (spawn, forkserver) and multiprocessing.Pool.

Each pool is started once for the module and shut down at its end, after which no worker
may be left (checked through /proc, with the multiprocessing helpers allowed to stay).
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
        Ok(1),
        Err("disk full").note("saving report").traced("save").traced("run"),
        Some([1, {"k": (2, None)}]),
        Nothing(),
        Ok(Some(Err(Nothing()).note("inner"))),
        Err(exception_with_note()).note("outer").traced("parse"),
        [Ok(None), Some(Some(Nothing())), {"e": Err(b"\x00").traced("io")}],
    ][i]


SAMPLES = range(7)


def shape(value):
    """A comparable picture of a value: exceptions by type, args and notes; results with notes and trace."""
    if isinstance(value, BaseException):
        return (type(value), value.args, getattr(value, "__notes__", None))
    if isinstance(value, (Ok, Err)):
        payload = value.value if isinstance(value, Ok) else value.error
        return (type(value), shape(payload), value.notes, value.trace)
    if isinstance(value, Some):
        return (Some, shape(value.value))
    if isinstance(value, (list, tuple)):
        return (type(value), [shape(v) for v in value])
    if isinstance(value, dict):
        return {k: shape(v) for k, v in value.items()}
    return value


def nothings(value):
    """Every Nothing inside ``value``."""
    if isinstance(value, Nothing):
        return [value]
    inner = {Ok: "value", Err: "error", Some: "value"}.get(type(value))
    if inner:
        return nothings(getattr(value, inner))
    if isinstance(value, (list, tuple)):
        return [n for v in value for n in nothings(v)]
    if isinstance(value, dict):
        return [n for v in value.values() for n in nothings(v)]
    return []


def parse(text):
    """Raising code turned into results in the worker."""
    return catching(ValueError)(int)(text)


def lookup(key):
    return catching(KeyError, on_error=lambda exc: f"missing {exc}")({"a": 1}.__getitem__)(key)


def many(n):
    return [Ok(i) if i % 100 else Err(f"row {i}").note("checking rows") for i in range(n)]


def worker_pid(_):
    return os.getpid()


def processes():
    """{pid: (parent pid, session id)} of every live process (Linux /proc; no psutil)."""
    table = {}
    for entry in os.listdir("/proc"):
        if entry.isdigit():
            try:
                stat = Path(f"/proc/{entry}/stat").read_text()
            except OSError:
                continue
            state, ppid, _pgrp, sid = stat[stat.rindex(")") + 2:].split()[:4]
            if state != "Z":  # a zombie has exited and is only not yet reaped
                table[int(entry)] = (int(ppid), int(sid))
    return table


def cmdline(pid):
    try:
        return Path(f"/proc/{pid}/cmdline").read_bytes().replace(b"\0", b" ").decode(errors="replace")
    except OSError:
        return ""


def strays(root=None):
    """Processes below ``root`` except the multiprocessing helpers (its children whose command
    line names one); whatever runs below a helper counts."""
    root = os.getpid() if root is None else root
    table = processes()
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


class Executor:
    """One interface over ProcessPoolExecutor and multiprocessing.Pool."""

    def __init__(self, kind):
        self.kind = kind
        if kind == "pool":
            self.pool = multiprocessing.get_context("spawn").Pool(2)
        else:
            self.pool = concurrent.futures.ProcessPoolExecutor(2, mp_context=multiprocessing.get_context(kind))

    def call(self, fn, *args):
        if self.kind == "pool":
            return self.pool.apply_async(fn, args).get(TIMEOUT)
        return self.pool.submit(fn, *args).result(TIMEOUT)

    def map(self, fn, items):
        if self.kind == "pool":
            return self.pool.map_async(fn, items).get(TIMEOUT)
        return list(self.pool.map(fn, items, timeout=TIMEOUT))

    def close(self):
        if self.kind == "pool":
            self.pool.close()
            self.pool.join()
        else:
            self.pool.shutdown(wait=True)


@pytest.fixture(scope="module", params=["spawn", "forkserver", "pool"])
def executor(request):
    ex = Executor(request.param)
    yield ex
    ex.close()


def test_workers_are_other_processes(executor):
    assert os.getpid() not in executor.map(worker_pid, range(4))


@pytest.mark.parametrize("i", SAMPLES)
def test_results_arrive_as_built(executor, i):
    got = executor.call(sample, i)
    assert shape(got) == shape(sample(i))
    assert all(n is Nothing() for n in nothings(got))
    assert len(nothings(got)) == len(nothings(sample(i)))


def test_caught_exceptions_keep_type_and_message(executor):
    ok, bad = executor.map(parse, ["42", "forty-two"])
    assert ok == Ok(42)
    assert type(bad.error) is ValueError
    assert str(bad.error) == "invalid literal for int() with base 10: 'forty-two'"
    assert executor.map(lookup, ["a", "b"]) == [Ok(1), Err("missing 'b'")]


def test_a_hundred_thousand_results_in_one_list(executor):
    got = executor.call(many, BIG)
    assert got == many(BIG)
    assert all(len(e.notes) == 1 for e in got[::100])
    values, errs = partition(got)
    assert (len(values), len(errs)) == (BIG - BIG // 100, BIG // 100)
    assert collect(got) is got[0]
    assert collect(got[1:100]) == Ok(list(range(1, 100)))


def guide_scripts():
    """The guide's ```python no-run script blocks: complete programs with their # Out: lines."""
    text = (ROOT / "docs" / "guide.md").read_text(encoding="utf-8")
    fence = re.compile(r"^```python no-run script\n(?P<body>.*?)^```[ \t]*$", re.M | re.S)
    return [m["body"] for m in fence.finditer(text)]


def run_guide_script(index, tmp_path):
    """Run a guide script as a program of its own, in its own session: its output must match its
    # Out: lines, and none of its processes may outlive it."""
    body = guide_scripts()[index]
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


def test_guide_pool_script(tmp_path):
    run_guide_script(0, tmp_path)


def session(sid):
    return {pid: cmdline(pid) for pid, (_, s) in processes().items() if s == sid}
