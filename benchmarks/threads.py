"""Scaling on a free-threaded interpreter: the throughput of 2 and 4 threads over that of 1.

Each thread runs the same statement, started together at a barrier, over objects of its own
(a library's adapter namespace from peers.py, made once per thread: its receivers, callables
and the 10-step pipeline's records), as threads that each serve their own requests would,
except where a row shares on purpose: the one `Nothing()`, and the list that `collect` walks.
A run's throughput is the calls of all threads over the wall time from the barrier to the
last thread's end. (CPython 3.14t counts the references to a function made inside another
function in one place for all threads, so shared closures would measure the interpreter.) Every figure is the best of several
runs. ostrel and each pure-Python peer are measured alike, so the table shows both how each
scales and how far ahead ostrel stays per call with every thread busy.

    python benchmarks/threads.py            # in an interpreter where ostrel and the peers import
"""

import sys
import threading
import time
import timeit

ROWS = [
    ("new_ok", "Ok(1), built and released"),
    ("ok_map_b", "Ok.map(abs)"),
    ("pipeline", "10-step pipeline, 200 orders"),
    ("new_nothing", "Nothing(), the shared instance"),
    ("some_nothing", "Some.filter(...) giving Nothing"),
    ("collect_small", "collect over a shared list of 1,000 Ok"),
]
# CPython's own C types on the same build, for comparison: deque() and itemgetter() share
# their type's count; list() over a shared list counts the references to its shared items,
# as collect does to the payloads (the same ints 0-999).
REFERENCE = [
    ("ref_deque", "CPython's own: collections.deque()", "deque()"),
    ("ref_itemgetter", "CPython's own: operator.itemgetter(1)", "itemgetter(1)"),
    ("ref_list", "CPython's own: list() of a shared list of 1,000 ints", "list(ints)"),
]
THREADS = (1, 2, 4)


def timer(ns, stmt):
    names = sorted(ns)
    setup = "\n".join(f"{k} = _g_{k}" for k in names)  # locals, not globals, as in run.py
    return timeit.Timer(stmt, setup, globals={f"_g_{k}": ns[k] for k in names})


def wall(spaces, stmt, threads, number):
    """Seconds from a common start until every thread has run the statement `number` times."""
    timers = [timer(spaces[t], stmt) for t in range(threads)]
    barrier = threading.Barrier(threads + 1)

    def work(t):
        barrier.wait()
        t.timeit(number)

    pool = [threading.Thread(target=work, args=(t,)) for t in timers]
    for p in pool:
        p.start()
    barrier.wait()
    start = time.perf_counter()
    for p in pool:
        p.join()
    return time.perf_counter() - start


def scaling(spaces, stmt, reps, target):
    """(ns per call with one thread, {threads: throughput over one thread's})."""
    number = 1
    while wall(spaces, stmt, 1, number) < target / 10:
        number *= 10
    number = max(1, int(number * target / wall(spaces, stmt, 1, number)))
    best = {t: min(wall(spaces, stmt, t, number) for _ in range(reps)) for t in THREADS}
    return best[1] / number * 1e9, {t: t * best[1] / best[t] for t in THREADS}


def never(_v):
    return False


def adapters():
    """Per library: one namespace per thread (the largest thread count), and the statements."""
    sys.path.insert(0, str(__import__("pathlib").Path(__file__).resolve().parent))
    import peers
    loads = {"ostrel": peers.ostrel, **peers.PEERS}
    found = {}
    for name, load in loads.items():
        try:
            made = [load() for _ in range(max(THREADS))]
        except ImportError:
            continue
        spaces, st = [ns for ns, _ in made], made[0][1]
        for ns in spaces:
            ns.update(fz=never, small=spaces[0].get("small"))  # collect walks one shared list
        found[name] = (spaces, st)
    found["ostrel"][1]["some_nothing"] = "some.filter(fz)"
    return found


def rows(quick=False):
    """[{key, op, libs: {name: {ns, scale: {threads: ratio}}}}] for every row."""
    reps, target = (3, 0.1) if quick else (5, 0.3)
    libs, out = adapters(), []
    for key, label in ROWS:
        row = {"key": key, "op": label, "libs": {}}
        for name, (spaces, st) in libs.items():
            if key in st:
                per_call, scale = scaling(spaces, st[key], reps, target)
                row["libs"][name] = {"ns": round(per_call, 1), "scale": scale}
                print(f"[threads] {label:<42} {name:<10} {per_call:8.1f} ns  "
                      + "  ".join(f"{t}: {s:.2f}x" for t, s in scale.items()), flush=True)
        out.append(row)
    import collections
    import operator
    ints = list(range(1000))
    spaces = [{"deque": collections.deque, "itemgetter": operator.itemgetter, "ints": ints}
              for _ in range(max(THREADS))]
    for key, label, stmt in REFERENCE:
        per_call, scale = scaling(spaces, stmt, reps, target)
        out.append({"key": key, "op": label, "libs": {"cpython": {"ns": round(per_call, 1), "scale": scale}}})
        print(f"[threads] {label:<42} {per_call:8.1f} ns  "
              + "  ".join(f"{t}: {s:.2f}x" for t, s in scale.items()), flush=True)
    return out


def table(found):
    """Markdown: per row, ostrel's ns per call and scaling, and each peer's beside it."""
    peers = sorted({n for r in found for n in r["libs"]} - {"ostrel", "cpython"})
    head = ["Operation", "ostrel ns", "ostrel 2 thr", "ostrel 4 thr"]
    head += [f"{p}: ns, 2 thr, 4 thr" for p in peers]
    out = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for r in found:
        o = r["libs"].get("ostrel")
        if o is None and "cpython" in r["libs"]:  # a reference row: its figures in ostrel's columns
            c = r["libs"]["cpython"]
            out.append("| " + " | ".join([r["op"], f"{c['ns']:.0f}", f"{c['scale'][2]:.2f}x",
                                          f"{c['scale'][4]:.2f}x"] + ["—"] * len(peers)) + " |")
            continue
        cells = [r["op"]] + ([f"{o['ns']:.0f}", f"{o['scale'][2]:.2f}x", f"{o['scale'][4]:.2f}x"]
                             if o else ["—"] * 3)
        for p in peers:
            v = r["libs"].get(p)
            cells.append("—" if v is None else f"{v['ns']:.0f} ({v['ns'] / o['ns']:.1f}x ours), "
                         f"{v['scale'][2]:.2f}x, {v['scale'][4]:.2f}x")
        out.append("| " + " | ".join(cells) + " |")
    return out


if __name__ == "__main__":
    print("\n".join(table(rows("--quick" in sys.argv))))
