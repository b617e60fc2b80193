"""Threads racing to the first use of every per-process cache all get the same object, without waiting;
threads sharing values and running every kind of operation at once each get exactly their own results."""

import os
import sysconfig
import threading

import pytest
from conftest import SLOW_IMPORT, balanced, script_output
from ostrel_core import Err, Ok, Some

# The import of ostrel._exceptions sleeps, so many threads find UnwrapError missing at once: none
# waits for another, each computes it, the first value published wins and every thread returns it.
SCRIPT = SLOW_IMPORT + """
sys.setswitchinterval(1e-6)
import ostrel_core as m
from conftest import raised as failure
USES = {
    "nothing": lambda: (m.Nothing(), m.Some(1).filter(lambda v: False), m.Ok(1).err),
    "unwrap": lambda: (type(failure(m.Err(1).unwrap)), type(failure(m.Nothing().unwrap))),
    "alias": lambda: (type(m.Option[int]), type(m.Result[int, str])),
    "names": lambda: (type(failure(lambda: m.Err(1).unwrap(err=2, note="n"))),
                      failure(lambda: m.Err(1).unwrap(err=2, note="n")).container.notes,
                      m.Some(1).ok_or(2), m.Err(1).wrap_err(3).notes),
}
names = sys.argv[2:]
results, barrier = {}, threading.Barrier(24)
def work(i):
    barrier.wait()
    results[i] = [x for k in names[i % len(names):] + names[:i % len(names)] for x in USES[k]()]
    results[i].sort(key=repr)
threads = [threading.Thread(target=work, args=(i,), daemon=True) for i in range(24)]
for t in threads: t.start()
for t in threads: t.join(60)
if any(t.is_alive() for t in threads): sys.exit("deadlock")
first = results[0]  # classes and the Nothing instance identical, the rest equal
assert all(len(r) == len(first) and all(a is b or (a == b and not isinstance(a, (type, m.Nothing)))
                                        for a, b in zip(r, first)) for r in results.values()), results
assert "unwrap" not in names or sys.modules["ostrel._exceptions"].UnwrapError in first
print("ok")
"""


@pytest.mark.parametrize("uses", ["nothing", "unwrap", "alias", "names", "unwrap nothing alias names"])
def test_first_use_race(uses):
    assert script_output(SCRIPT, "0.3", *uses.split(), timeout=120) == "ok\n"


# Threads hammering every kind of operation at once (on 3.14t without the GIL): each value a thread gets
# is checked against what that thread built, so a value, note or site of another thread's is caught.
STRESS = """
import copy, os, pickle, sys, threading
from ostrel import Err, Nothing, Ok, Some, UnwrapError, collect, partition
N, THREADS = int(sys.argv[1]), int(sys.argv[2])
SHARED = [Ok(1), Err("e").note("n").traced("t"), Some((1, "a")), Nothing(), Ok(Some(2.5)), Err(Nothing())]
FORMS = [(repr(x), str(x), hash(x)) for x in SHARED]
MIXED = [Ok(k) if k % 3 else Err(k) for k in range(200)]
PARTED = ([k for k in range(200) if k % 3], MIXED[::3])
OKS = MIXED[1:3] * 50
failures, barrier = [], threading.Barrier(THREADS)
def work(t):
    barrier.wait()
    for j in range(N):
        v = t * N + j
        o, s, e = Ok(v), Some(v), Err(v).note(f"n{t}").wrap_err(-v).traced(f"s{t}")
        assert (o.value, s.value, o.map(str), o | abs, s.map(str)) == (v, v, Ok(str(v)), Ok(v), Some(str(v)))
        assert s.filter(lambda _: False) is Nothing() is Err(v).to_option() and o.err is None
        assert (e.error, e.notes, e.trace) == (-v, (f"n{t}", f"caused by {v}"), (f"s{t}",)), (t, j, repr(e))
        assert repr(e) == f"Err({-v}; note: n{t}; note: caused by {v}; via s{t})"
        try:
            e.unwrap()
        except UnwrapError as exc:
            assert exc.container is e and exc.__cause__ is None
        copied = pickle.loads(pickle.dumps(e))
        assert (copied, copied.notes, copy.deepcopy(Ok([v])).value) == (e, e.notes, [v])
        if j % 20 == 0:
            assert partition(MIXED) == PARTED and collect(OKS).value == [1, 2] * 50 and collect(MIXED) is MIXED[0]
        x = j % len(SHARED)
        assert (repr(SHARED[x]), str(SHARED[x]), hash(SHARED[x])) == FORMS[x] and SHARED[x] == copy.copy(SHARED[x])
def run(t):
    try:
        work(t)
    except BaseException as exc:
        failures.append(f"thread {t}: {exc!r}")
threads = [threading.Thread(target=run, args=(t,)) for t in range(THREADS)]
for t in threads: t.start()
for t in threads: t.join()
assert not failures, failures[:5]
print("gil" if getattr(sys, "_is_gil_enabled", lambda: True)() else "no gil")
"""


def test_threads_share_nothing_by_accident():
    n = os.environ.get("OSTREL_STRESS_CALLS", "10000")
    want = "gil" if sysconfig.get_config_var("Py_GIL_DISABLED") != 1 else "no gil"
    assert script_output(STRESS, n, "6", timeout=300) == want + "\n"


def test_an_ended_thread_keeps_no_instances():
    def thread():  # fills the thread's free lists, if it has its own
        t = threading.Thread(target=lambda: [Err(Ok(Some(i))) for i in range(100)])
        t.start()
        t.join()
    balanced(thread, n=200, slack=256)
