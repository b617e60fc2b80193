"""Threads racing to the first use of every per-process cache all get the same object."""

import subprocess
import sys

import pytest

# The import of ostrel._exceptions sleeps, so the threads that need UnwrapError meanwhile must
# wait in the module's once-cell with the GIL released.
SCRIPT = """
import importlib.machinery, sys, threading, time
class SlowFinder:
    @staticmethod
    def find_spec(name, path=None, target=None):
        if name != "ostrel._exceptions":
            return None
        spec = importlib.machinery.PathFinder.find_spec(name, path)
        run = spec.loader.exec_module
        spec.loader.exec_module = lambda module: (time.sleep(0.3), run(module))
        return spec
sys.meta_path.insert(0, SlowFinder)
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
names = sys.argv[1:]
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
    proc = subprocess.run([sys.executable, "-c", SCRIPT, *uses.split()], capture_output=True,
                          text=True, timeout=120)
    assert proc.returncode == 0 and proc.stdout.strip() == "ok", proc.stderr[-2000:]
