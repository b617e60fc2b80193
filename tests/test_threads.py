"""Threads racing to the first use of every per-process cache all get the same object, without waiting."""

import pytest
from conftest import SLOW_IMPORT, run_script

# The import of ostrel._exceptions sleeps, so many threads find UnwrapError missing at once: none
# waits for another, each computes it, the first value published wins and every thread returns it.
SCRIPT = SLOW_IMPORT + """
sys.setswitchinterval(1e-6)
import ostrel_core as m
def failure(fn):
    try:
        fn()
    except Exception as e:
        return e
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
    proc = run_script(SCRIPT, "0.3", *uses.split(), timeout=120)
    assert proc.returncode == 0 and proc.stdout.strip() == "ok", proc.stderr[-2000:]
