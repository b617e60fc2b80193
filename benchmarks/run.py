"""ostrel benchmark suite: python3 benchmarks/run.py [--quick] [--json FILE]

Every figure is a ratio to a baseline timed in the same run, interleaved with
it, so that a shared, noisy machine moves both alike. The baseline of most
rows is the floor: a tiny C extension with ostrel's entry shapes that does no
work (benchmarks/floor/floor.c, built here for the running interpreter).
Peers (result, returns, option, expression) come from the `bench` extra;
missing ones are skipped.
"""

import argparse
import gc
import hashlib
import importlib.machinery
import importlib.metadata
import importlib.util
import json
import os
import pickle
import platform
import shlex
import subprocess
import sys
import sysconfig
import time
import timeit
import tracemalloc
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
import peers  # noqa: E402

# ---- the floor ---------------------------------------------------------------

def build_floor():
    """Compile floor.c with this interpreter's flags into a cache dir; import it."""
    src = HERE / "floor" / "floor.c"
    cfg = sysconfig.get_config_var
    suffix = next((s for s in importlib.machinery.EXTENSION_SUFFIXES if "abi3" in s),
                  cfg("EXT_SUFFIX"))
    key = hashlib.sha256(src.read_bytes() + sys.version.encode() + sys.executable.encode())
    cache = Path(os.environ.get("XDG_CACHE_HOME", Path.home() / ".cache")) / "ostrel-bench"
    out = cache / key.hexdigest()[:16] / f"ostrel_floor{suffix}"
    if not out.exists():
        out.parent.mkdir(parents=True, exist_ok=True)
        obj = out.with_suffix(".o")
        compile_ = (shlex.split(cfg("CC")) + shlex.split(cfg("CFLAGS") or "")
                    + shlex.split(cfg("CCSHARED") or "")
                    + ["-DPy_LIMITED_API=0x030A0000", "-I", sysconfig.get_paths()["include"],
                       "-c", str(src), "-o", str(obj)])
        link = shlex.split(cfg("LDSHARED")) + [str(obj), "-o", str(out)]
        for cmd in (compile_, link):
            subprocess.run(cmd, check=True)
    spec = importlib.util.spec_from_file_location("ostrel_floor", out)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module.Floor


def floor_adapter(Floor):
    tup = ("e", ("loading", "parsing"), ("load",))
    ns = dict(peers.plain_pipeline(), F=Floor, x=Floor(1), d=0, fb=abs, fp=peers.fp,
              fg=lambda _v: 1, tup=tup, tblob=pickle.dumps(tup), dumps=pickle.dumps,
              loads=pickle.loads)
    st = {"new": "F(1)", "get": "x.get()", "get1": "x.get(d)", "value": "x.value",
          "call_b": "x.call(fb)", "call_p": "x.call(fp)", "or": "x | fb", "hash": "hash(x)",
          "catch": "x.call(fg)", "tuple_dumps": "dumps(tup)", "tuple_loads": "loads(tblob)",
          "plain": "run(records)"}
    return ns, st


BASELINE_LABEL = {
    "new": "floor tp_new", "get": "floor get()", "get1": "floor get(a)", "value": "floor getset",
    "call_b": "floor call(abs)", "call_p": "floor call(py)", "or": "floor nb_or",
    "hash": "floor tuple hash", "catch": "floor call(py)", "tuple_dumps": "plain tuple",
    "tuple_loads": "plain tuple", "plain": "plain Python",
}

# kind: new (<= 1.2x floor), read (<= 1.1x), call (<= 1.1x), hash (< 1.0x),
# attr (a read: <= 1.1x, and peers may be faster), info (no floor of that shape).
LIMIT = {"new": 1.2, "read": 1.1, "attr": 1.1, "call": 1.1, "hash": 1.0}
OPS = [
    ("new_ok", "Ok(1)", "new", "new"),
    ("new_err", 'Err("e")', "new", "new"),
    ("new_some", "Some(1)", "new", "new"),
    ("new_nothing", "Nothing()", "new", "new"),
    ("ok_unwrap", "Ok.unwrap()", "get", "read"),
    ("some_unwrap", "Some.unwrap()", "get", "read"),
    ("err_unwrap", "Err.unwrap() raising", "get", "info"),
    ("ok_value", "Ok.value", "value", "attr"),
    ("err_value", "Err.error", "value", "attr"),
    ("ok_is_ok", "Ok.is_ok", "value", "attr"),
    ("err_is_ok", "Err.is_ok", "value", "attr"),
    ("ok_unwrap_or", "Ok.unwrap_or(d)", "get1", "read"),
    ("err_unwrap_or", "Err.unwrap_or(d)", "get1", "read"),
    ("ok_map_b", "Ok.map(abs)", "call_b", "call"),
    ("ok_map_p", "Ok.map(py_fn)", "call_p", "call"),
    ("some_map_b", "Some.map(abs)", "call_b", "call"),
    ("err_map_b", "Err.map(abs)", "get1", "read"),
    ("err_map_p", "Err.map(py_fn)", "get1", "read"),
    ("ok_then_b", "Ok.and_then(abs)", "call_b", "call"),
    ("ok_then_p", "Ok.and_then(py_fn)", "call_p", "call"),
    ("err_then_b", "Err.and_then(abs)", "get1", "read"),
    ("err_then_p", "Err.and_then(py_fn)", "get1", "read"),
    ("or", "Ok | abs", "or", "call"),
    ("rshift", "Ok >> abs", "or", "call"),
    ("note", 'Err.note("ctx")', "get1", "info"),
    ("traced", 'Err.traced("site")', "get1", "info"),
    ("wrap_err", 'Err.wrap_err("new")', "get1", "info"),
    ("eq", "Ok(1) == Ok(1)", "get1", "info"),
    ("hash", "hash(Ok(1))", "hash", "hash"),
    ("repr", "repr(Ok(1))", "get", "info"),
    ("catch_ok", "Result.catch, success", "catch", "call"),
    ("catch_err", "Result.catch, failure", "get", "info"),
    ("dumps", 'pickle.dumps(Err("e"))', "tuple_dumps", "info"),
    ("loads", 'pickle.loads(Err("e"))', "tuple_loads", "info"),
    ("dumps_notes", "pickle.dumps(Err, 2 notes, trace)", "tuple_dumps", "info"),
    ("loads_notes", "pickle.loads(Err, 2 notes, trace)", "tuple_loads", "info"),
    ("pipeline", "10-step pipeline, 200 orders", "plain", "info"),
]

# ---- timing -------------------------------------------------------------------

class Cell:
    def __init__(self, ns, stmt):
        names = sorted(ns)
        setup = "\n".join(f"{k} = _g_{k}" for k in names)  # locals, not globals
        self.timer = timeit.Timer(stmt, setup, globals={f"_g_{k}": ns[k] for k in names})
        self.number = 1

    def calibrate(self, target):
        n = 1
        while True:
            t = self.timer.timeit(n)
            if t >= target / 10:
                self.number = max(1, int(n * target / t))
                return
            n *= 10


def measure(cells, reps, target):
    """Minimum seconds per loop of each cell, the cells interleaved in rotation."""
    for c in cells:
        c.calibrate(target)
    best = [float("inf")] * len(cells)
    for r in range(reps):
        for i in [(r + j) % len(cells) for j in range(len(cells))]:
            c = cells[i]
            best[i] = min(best[i], c.timer.timeit(c.number) / c.number)
    return best


def memory(make, n=100_000):
    """(sys.getsizeof, tracemalloc bytes per instance over n instances)."""
    values = list(range(n))
    gc.collect()
    tracemalloc.start()
    before = tracemalloc.get_traced_memory()[0]
    objs = [make(v) for v in values]
    after = tracemalloc.get_traced_memory()[0]
    tracemalloc.stop()
    return sys.getsizeof(objs[-1]), (after - before - sys.getsizeof(objs)) / n


def allocation_check():
    """Ok(1).unwrap() and Some(1).map(abs) allocate nothing beyond their result.

    Counted twice against a control call that returns an existing object: pymalloc
    blocks kept per call over 1,000 calls, and tracemalloc's bytes kept and peak."""
    from ostrel import Ok, Some
    ok, some, index = Ok(1), Some(1), list(range(1000))

    def probe(call):
        keep = [None] * len(index)
        gc.disable()
        blocks = sys.getallocatedblocks()
        for i in index:
            keep[i] = call()
        blocks = (sys.getallocatedblocks() - blocks) / len(index)
        tracemalloc.start()
        pad = bytes(1000)  # keeps the measured figures out of the small-int cache
        before = tracemalloc.get_traced_memory()
        tracemalloc.reset_peak()
        result = call()
        after = tracemalloc.get_traced_memory()
        tracemalloc.stop()
        gc.enable()
        del keep, result, pad
        return blocks, after[0] - before[0], after[1] - after[0]

    probe(lambda: ok)  # the first run warms the probe's own code up
    control = probe(lambda: ok)
    rows = []
    for label, call in (("Ok(1).unwrap()", lambda: ok.unwrap()),
                        ("Some(1).map(abs)", lambda: some.map(abs))):
        for _ in range(3):
            call()
        first = call()
        expect = 0 if first is call() else sys.getsizeof(first)  # a new object, or a shared one
        probe(call)
        blocks, held, transient = (a - b for a, b in zip(probe(call), control))
        ok_ = round(blocks) == (1 if expect else 0) and held == expect and transient <= 0
        rows.append((label, ok_, f"{blocks:.3f} block(s) and {held} B kept per call "
                                 f"(result: {expect} B), {max(transient, 0)} B transient"))
    return rows

# ---- report ---------------------------------------------------------------------

def machine():
    cpu = platform.processor() or platform.machine()
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    libs = {}
    for dist in ("ostrel", "result", "returns", "option", "expression"):
        try:
            libs[dist] = importlib.metadata.version(dist)
        except importlib.metadata.PackageNotFoundError:
            pass
    return {"cpu": cpu, "cores": os.cpu_count(), "os": platform.platform(),
            "python": sys.version.replace("\n", " "), "implementation": platform.python_implementation(),
            "compiler": platform.python_compiler(), "cflags": sysconfig.get_config_var("CFLAGS"),
            "load_start": os.getloadavg() if hasattr(os, "getloadavg") else None, "versions": libs}


def make_row(raw, loop):
    key, label, base, kind, times = raw
    net = {n: max(t - loop, 1e-12) for n, t in times.items()}
    ours = net["ostrel"]
    row = {"key": key, "op": label, "baseline": BASELINE_LABEL[base], "kind": kind,
           "ns": {n: round(t * 1e9, 2) for n, t in net.items()}, "loop_ns": round(loop * 1e9, 2),
           "overhead": ours / net["floor"], "peers": {p: t / ours for p, t in net.items()
                                                      if p not in ("floor", "ostrel")}}
    limit = LIMIT.get(kind)
    row["met"] = None if limit is None else (
        row["overhead"] < limit if kind == "hash" else row["overhead"] <= limit)
    return row


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--quick", action="store_true", help="shorter loops, fewer repeats")
    ap.add_argument("--json", metavar="FILE", help="also write every timing to FILE")
    ap.add_argument("--only", metavar="KEYS", help="comma-separated operation keys")
    opts = ap.parse_args()
    target, reps = (0.05, 3) if opts.quick else (0.2, 5)

    info = machine()
    adapters, notes = {}, []
    adapters["floor"] = floor_adapter(build_floor())
    adapters["ostrel"] = peers.ostrel()
    for name, load in peers.PEERS.items():
        try:
            adapters[name] = load()
        except ImportError as exc:
            notes.append(f"{name} skipped: not installed ({exc})")
    peer_names = [n for n in peers.PEERS if n in adapters]

    ops = [o for o in OPS if not opts.only or o[0] in opts.only.split(",")]
    # The empty timeit loop costs the same in every row: its minimum over the
    # whole run is subtracted from every cell.
    loop = min(measure([Cell({}, "pass")], 4 * reps, target))
    raw, start = [], time.time()
    for idx, (key, label, base, kind) in enumerate(ops, 1):
        names = ["floor", "ostrel"] + [p for p in peer_names if key in adapters[p][1]]
        cells = [Cell({}, "pass")]
        cells += [Cell(adapters[n][0], adapters["floor"][1][base] if n == "floor"
                       else adapters[n][1][key]) for n in names]
        empty, *times = measure(cells, reps, target)
        loop = min(loop, empty)
        raw.append((key, label, base, kind, dict(zip(names, times))))
        row = make_row(raw[-1], loop)
        peer_txt = " ".join(f"{p} {r:.1f}x" for p, r in row["peers"].items())
        print(f"[{idx:2}/{len(ops)}] {label:<32} {row['ns']['ostrel']:8.1f} ns  ostrel "
              f"{row['overhead']:.2f}x {row['baseline']}  (peer/ostrel: {peer_txt or '-'})", flush=True)
    rows, misses = [make_row(r, loop) for r in raw], []
    for row in rows:
        limit = LIMIT.get(row["kind"])
        if row["met"] is False:
            misses.append(f"{row['op']}: {row['overhead']:.2f}x {row['baseline']} (target {limit}x)")
        for p, r in row["peers"].items():
            if r < 1 and row["kind"] != "attr":
                misses.append(f"{row['op']}: {p} is {1 / r:.2f}x faster")

    mem = {}
    makers = {"floor": adapters["floor"][0]["F"]}
    makers.update({n: adapters[n][0]["Ok"] for n in ["ostrel"] + peer_names})
    for n, make in makers.items():
        mem[n] = memory(make)
    print(f"[mem  ] bytes per Ok(i): " + ", ".join(f"{n} {m[1]:.1f}" for n, m in mem.items()),
          flush=True)
    alloc = allocation_check()
    for label, ok_, detail in alloc:
        print(f"[alloc] {label}: {'ok' if ok_ else 'FAILED'}: {detail}", flush=True)
        if not ok_:
            misses.append(f"{label} allocates beyond its result: {detail}")
    info["load_end"] = os.getloadavg() if hasattr(os, "getloadavg") else None
    info["seconds"] = round(time.time() - start, 1)

    print()
    print(report(info, rows, mem, alloc, peer_names, notes, misses, opts.quick))
    if opts.json:
        Path(opts.json).write_text(json.dumps(
            {"machine": info, "quick": opts.quick, "rows": rows, "memory": mem,
             "alloc": alloc, "notes": notes, "misses": misses}, indent=1))


def report(info, rows, mem, alloc, peer_names, notes, misses, quick):
    load = lambda v: "/".join(f"{x:.2f}" for x in v) if v else "n/a"  # noqa: E731
    out = [f"Machine: {info['cpu']}, {info['cores']} cores, {info['os']}; load "
           f"{load(info['load_start'])} -> {load(info['load_end'])}",
           f"Python: {info['implementation']} {info['python']}; CFLAGS {info['cflags']}",
           "Versions: " + ", ".join(f"{k} {v}" for k, v in info["versions"].items())
           + f"; {'--quick' if quick else 'full'} run, {info['seconds']} s",
           "",
           "Times are net of the empty timeit loop, minimum of interleaved repeats. "
           "`ostrel ÷ base` is ostrel's time over the baseline's (lower is better); "
           "peer columns are the peer's time over ostrel's (above 1: ostrel is faster). "
           "(a) marks plain attribute reads, where a peer may be faster.",
           ""]
    head = ["Operation", "Baseline", "ostrel ÷ base", "Target", ""] + peer_names
    out.append("| " + " | ".join(head) + " |")
    out.append("|" + "---|" * len(head))
    for r in rows:
        limit = LIMIT.get(r["kind"])
        tgt = "—" if limit is None else (f"< {limit:.1f}" if r["kind"] == "hash" else f"≤ {limit:.1f}")
        status = {None: "", True: "met", False: "**missed**"}[r["met"]]
        cells = []
        for p in peer_names:
            v = r["peers"].get(p)
            cells.append("—" if v is None else (f"{v:.1f}x" if v >= 1 or r["kind"] == "attr"
                                                 else f"**{v:.2f}x**"))
        op = r["op"].replace("|", "\\|") + (" (a)" if r["kind"] == "attr" else "")
        out.append("| " + " | ".join([op, r["baseline"], f"{r['overhead']:.2f}x", tgt, status]
                                      + cells) + " |")
    out += ["", "Memory per instance of Ok(i), bytes (sys.getsizeof / tracemalloc over 100,000):", "",
            "| floor | " + " | ".join(n for n in mem if n != "floor") + " |",
            "|" + "---|" * len(mem),
            "| " + " | ".join(f"{m[0]} / {m[1]:.0f}" for m in mem.values()) + " |", ""]
    out += [f"Allocation check: {label}: {'ok' if ok_ else 'FAILED'} ({detail})"
            for label, ok_, detail in alloc]
    out += notes
    out.append("Targets: all met." if not misses else "Missed: " + "; ".join(misses))
    return "\n".join(out)


if __name__ == "__main__":
    main()
