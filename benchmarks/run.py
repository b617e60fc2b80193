"""ostrel benchmark suite: python3 benchmarks/run.py [--python PATH ...] [--quick] [--only KEYS]

One command measures every interpreter. For each one (default: every pyenv
CPython 3.10 to 3.13 found), it makes or reuses a venv in the cache directory
with the project's abi3 wheel (built once) and the `bench` extra's peers,
builds the floor for that interpreter, runs the suite there in a subprocess
and collects its figures; then it writes benchmarks/RESULTS.md with one table
per interpreter, the machine, the interpreter builds and the command line.
An entry PATH@abi3t measures the abi3t wheel on that interpreter (3.15 or
later) instead, against the same floor build, so that one run can set it
beside the abi3 wheel on the same interpreter.

Every figure is a ratio to a baseline timed in the same run, interleaved with
it, so that a shared, noisy machine moves both alike; each cell keeps the
minimum of its repeats, net of the empty timeit loop, in CPU time of the
process, so that time spent descheduled does not count. The baseline of most
rows is the floor: a tiny C extension with ostrel's entry shapes that does no
work (benchmarks/floor/floor.c). The everyday functions are measured against
the same job written as a plain Python loop. Peers (result, returns, option,
expression) that fail to install or import are skipped with a note.
"""

import argparse
import datetime
import gc
import hashlib
import importlib.machinery
import importlib.metadata
import importlib.util
import json
import os
import pickle
import platform
import re
import shlex
import shutil
import subprocess
import sys
import sysconfig
import tempfile
import time
import timeit
import tracemalloc
from pathlib import Path

HERE = Path(__file__).resolve().parent
ROOT = HERE.parent
RESULTS = HERE / "RESULTS.md"
BEGIN = "<!-- begin: written by benchmarks/run.py -->"
END = "<!-- end: written by benchmarks/run.py -->"
VERSIONS = ("3.10", "3.11", "3.12", "3.13")


def cache_dir():
    """Where the floor builds, the wheel and the venvs are kept between runs."""
    base = Path(os.environ.get("XDG_CACHE_HOME", Path.home() / ".cache"))
    return Path(os.environ.get("OSTREL_BENCH_CACHE", base / "ostrel-bench"))

# ---- the floor ---------------------------------------------------------------

def free_threaded():
    return bool(sysconfig.get_config_var("Py_GIL_DISABLED"))


def floor_path():
    """Where this interpreter's build of the floor is kept."""
    src = HERE / "floor" / "floor.c"
    suffix = next((s for s in importlib.machinery.EXTENSION_SUFFIXES if s.endswith(".abi3.so")),
                  sysconfig.get_config_var("EXT_SUFFIX"))
    # Keyed by the interpreter, not the venv: every wheel measured on it shares one build.
    base = getattr(sys, "_base_executable", None) or sys.executable
    key = hashlib.sha256(src.read_bytes() + sys.version.encode() + str(Path(base).resolve()).encode())
    return cache_dir() / "floor" / key.hexdigest()[:16] / f"ostrel_floor{suffix}"


def build_floor():
    """Compile floor.c with this interpreter's flags into the cache; import it."""
    src = HERE / "floor" / "floor.c"
    cfg = sysconfig.get_config_var
    out = floor_path()
    if not out.exists():
        out.parent.mkdir(parents=True, exist_ok=True)
        obj = out.with_suffix(".o")
        # The limited API of 3.10, like ostrel's abi3 build; a free-threaded interpreter has
        # none, and both are built against its full API there.
        limited = [] if free_threaded() else ["-DPy_LIMITED_API=0x030A0000"]
        compile_ = (shlex.split(cfg("CC")) + shlex.split(cfg("CFLAGS") or "")
                    + shlex.split(cfg("CCSHARED") or "")
                    + limited + ["-I", sysconfig.get_paths()["include"],
                                 "-c", str(src), "-o", str(obj)])
        link = shlex.split(cfg("LDSHARED")) + [str(obj), "-o", str(out)]
        for cmd in (compile_, link):
            subprocess.run(cmd, check=True)
    spec = importlib.util.spec_from_file_location("ostrel_floor", out)
    module = importlib.util.module_from_spec(spec)
    spec.loader.exec_module(module)
    return module.Floor


def floor_adapter(Floor):
    """The baselines: the floor's entries, plain tuples, and plain Python doing the same job."""
    import peers
    tup = ("e", ("loading", "parsing"), ("load",))
    ns = dict(peers.plain_pipeline(), F=Floor, x=Floor(1), x2=Floor(1), d=0, fb=abs,
              fp=peers.fp, fg=lambda _v: 1, tup=tup, tblob=pickle.dumps(tup),
              dumps=pickle.dumps, loads=pickle.loads)
    st = {"new": "F(1)", "get": "x.get()", "get1": "x.get(d)", "value": "x.value",
          "call_b": "x.call(fb)", "call_p": "x.call(fp)", "or": "x | fb", "hash": "hash(x)",
          "eq": "x == x2", "catch": "x.call(fg)", "tuple_dumps": "dumps(tup)",
          "tuple_loads": "loads(tblob)", "plain": "run(records)"}
    try:
        ns.update(peers.plain_everyday())
        st.update(peers.PLAIN_EVERYDAY)
    except ImportError:
        pass
    return ns, st


BASELINE_LABEL = {
    "new": "floor tp_new", "get": "floor get()", "get1": "floor get(a)", "value": "floor getset",
    "call_b": "floor call(abs)", "call_p": "floor call(py)", "or": "floor nb_or",
    "hash": "floor tuple hash", "eq": "floor ==", "catch": "floor call(py)",
    "tuple_dumps": "plain tuple", "tuple_loads": "plain tuple", "plain": "plain Python",
    "py_collect": "Python loop", "py_collect_mix": "Python loop",
    "py_collect_small": "Python loop", "py_partition": "Python loop",
    "py_partition_mix": "Python loop", "py_early_ok": "is_err check",
    "py_early_err": "is_err check", "py_catch_ok": "try/except", "py_catch_err": "try/except",
    "py_unwrap": "Ok.unwrap()", "py_wrapper": "one-line Python wrapper", "py_body": "the body undecorated",
}

# Targets by kind: new and alloc (operations that build a new instance: at most
# the floor, which is not GC-aware), read, attr, call, eq (at most 1.1x), hash
# (below the tuple hash), wrap (a decorated call: at most 1.15x the same body
# behind a one-line Python wrapper); info rows have none. attr rows are plain attribute
# reads, where a peer's specialised property can be level or ahead.
LIMIT = {"new": ("<=", 1.0), "alloc": ("<=", 1.0), "read": ("<=", 1.1), "attr": ("<=", 1.1),
         "call": ("<=", 1.1), "eq": ("<=", 1.1), "hash": ("<", 1.0), "wrap": ("<=", 1.15)}
# Rows where the interpreter, not ostrel, can put a peer level or ahead on
# 3.12+ (specialised property reads, inlined Python-to-Python calls): the
# profiles in RESULTS.md explain them (benchmarks/instructions.py).
PROFILED = {"ok_value", "err_value", "ok_is_ok", "err_is_ok", "ok_then_b", "ok_then_p"}
SECTIONS = {"collect_ok": "Everyday functions", "transfer": "Transfer"}
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
    ("ok_map_b", "Ok.map(abs)", "call_b", "alloc"),
    ("ok_map_p", "Ok.map(py_fn)", "call_p", "call"),
    ("some_map_b", "Some.map(abs)", "call_b", "alloc"),
    ("some_filter", "Some.filter(abs)", "call_b", "alloc"),
    ("ok_to_option", "Ok.to_option()", "new", "alloc"),
    ("err_map_b", "Err.map(abs)", "get1", "read"),
    ("err_map_p", "Err.map(py_fn)", "get1", "read"),
    ("ok_then_b", "Ok.and_then(abs)", "call_b", "call"),
    ("ok_then_p", "Ok.and_then(py_fn)", "call_p", "call"),
    ("err_then_b", "Err.and_then(abs)", "get1", "read"),
    ("err_then_p", "Err.and_then(py_fn)", "get1", "read"),
    ("or", "Ok | abs", "or", "alloc"),
    ("rshift", "Ok >> abs", "or", "call"),
    ("note", 'Err.note("ctx")', "get1", "info"),
    ("traced", 'Err.traced("site")', "get1", "info"),
    ("wrap_err", 'Err.wrap_err("new")', "get1", "info"),
    ("eq", "Ok(1) == Ok(1)", "eq", "eq"),
    ("hash", "hash(Ok(1))", "hash", "hash"),
    ("repr", "repr(Ok(1))", "get", "info"),
    ("catch_ok", "Result.catch, success", "catch", "call"),
    ("catch_err", "Result.catch, failure", "get", "info"),
    ("dumps", 'pickle.dumps(Err("e"))', "tuple_dumps", "info"),
    ("loads", 'pickle.loads(Err("e"))', "tuple_loads", "info"),
    ("dumps_notes", "pickle.dumps(Err, 2 notes, trace)", "tuple_dumps", "info"),
    ("loads_notes", "pickle.loads(Err, 2 notes, trace)", "tuple_loads", "info"),
    ("pipeline", "10-step pipeline, 200 orders", "plain", "info"),
    ("collect_ok", "collect, 100,000 Ok", "py_collect", "info"),
    ("collect_mix", "collect, 100,000, first Err halfway", "py_collect_mix", "info"),
    ("collect_small", "collect, 1,000 Ok", "py_collect_small", "info"),
    ("partition_ok", "partition, 100,000 Ok", "py_partition", "info"),
    ("partition_mix", "partition, 100,000, 5% Err", "py_partition_mix", "info"),
    ("early_ok", "early return (@propagate), Ok path", "py_early_ok", "info"),
    ("early_err", "early return (@propagate), Err path", "py_early_err", "info"),
    ("propagate_ok", "@propagate, the body returns Ok", "py_wrapper", "wrap"),
    ("propagate_bare", "@propagate, the body returns Ok", "py_body", "info"),
    ("catching_ok", "@catching, success", "py_catch_ok", "info"),
    ("catching_err", "@catching, failure", "py_catch_err", "info"),
    ("unwrap_or_raise", "unwrap_or_raise(Ok)", "py_unwrap", "info"),
]
EVERYDAY_NEEDS = {"collect": "collect", "partition": "partition", "early": "propagate with early return",
                  "catching": "catching", "unwrap_or_raise": "unwrap_or_raise"}

# ---- timing -------------------------------------------------------------------

class Cell:
    def __init__(self, ns, stmt):
        names = sorted(ns)
        setup = "\n".join(f"{k} = _g_{k}" for k in names)  # locals, not globals
        # CPU time of this process: the time it spends descheduled on a shared
        # machine does not count, only what it executes.
        self.timer = timeit.Timer(stmt, setup, timer=time.process_time,
                                  globals={f"_g_{k}": ns[k] for k in names})
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

# ---- one interpreter: the suite -------------------------------------------------

def build_info():
    """This interpreter's build: version, compiler, flags, PGO/LTO."""
    args = sysconfig.get_config_var("CONFIG_ARGS") or ""
    opt = [name for flag, name in (("--enable-optimizations", "PGO"), ("--with-lto", "LTO"))
           if flag in args]
    # The label tells builds of one version apart: 3.14.7t is free-threaded, "Debian" a
    # distribution's; "abi3t" marks the abi3t wheel, measured beside the abi3 one.
    label = platform.python_version() + ("t" if free_threaded() else "")
    label += " Debian" if sys.base_prefix == "/usr" else ""
    wheel = ostrel_wheel()
    return {"version": platform.python_version(), "label": label + (" abi3t" if wheel == "abi3t" else ""),
            "interpreter": label, "free_threaded": free_threaded(), "wheel": wheel,
            "implementation": platform.python_implementation(),
            "build": " ".join(platform.python_build()), "compiler": platform.python_compiler(),
            "cflags": sysconfig.get_config_var("CFLAGS"), "optimizations": "+".join(opt) or "none",
            "executable": sys.executable}


def ostrel_wheel():
    """Which build of ostrel this interpreter imports: abi3, abi3t or its own (cp3XXt)."""
    try:
        import ostrel_core
    except ImportError:
        return None
    name = Path(ostrel_core.__file__).name
    return "abi3t" if ".abi3t." in name else "abi3" if ".abi3." in name else "version-specific"


def libraries():
    libs = {}
    for dist in ("ostrel", "result", "returns", "option", "expression"):
        try:
            libs[dist] = importlib.metadata.version(dist)
        except importlib.metadata.PackageNotFoundError:
            pass
    return libs


def make_row(raw, loop):
    key, label, base, kind, times = raw
    net = {n: max(t - loop, 1e-12) for n, t in times.items()}
    ours = net["ostrel"]
    row = {"key": key, "op": label, "baseline": BASELINE_LABEL[base], "kind": kind,
           "ns": {n: round(t * 1e9, 2) for n, t in net.items()}, "loop_ns": round(loop * 1e9, 2),
           "overhead": ours / net["floor"], "peers": {p: t / ours for p, t in net.items()
                                                      if p not in ("floor", "ostrel")}}
    row["met"] = met(kind, row["overhead"])
    return row


def met(kind, ratio):
    if kind not in LIMIT:
        return None
    op, limit = LIMIT[kind]
    return ratio < limit if op == "<" else ratio <= limit


def transfer_rows(quick, notes):
    """Rows of benchmarks/transfer.py, where that module exists."""
    if not (HERE / "transfer.py").exists():
        return []
    try:
        import transfer
        rows = transfer.transfer_rows(quick)
    except Exception as exc:  # a broken section must not lose the rest of the run
        notes.append(f"transfer rows failed: {type(exc).__name__}: {exc}")
        return []
    return [{"name": r["name"], "baseline": r["baseline"],
             "ostrel_ns": r["ostrel_seconds"] * 1e9, "baseline_ns": r["baseline_seconds"] * 1e9,
             "ratio": r["ostrel_seconds"] / r["baseline_seconds"]} for r in rows]


def suite(quick, only):
    """Run every operation on this interpreter; return the figures as a dict."""
    sys.path.insert(0, str(HERE))
    import peers
    # Many short samples: the minimum of those that ran undisturbed.
    target, reps = (0.01, 5) if quick else (0.02, 15)
    info = {"build": build_info(), "libraries": libraries(),
            "load_start": os.getloadavg() if hasattr(os, "getloadavg") else None}
    adapters, notes = {}, []
    adapters["floor"] = floor_adapter(build_floor())
    adapters["ostrel"] = peers.ostrel()
    for name, load in peers.PEERS.items():
        try:
            adapters[name] = load()
        except ImportError as exc:
            notes.append(f"{name} skipped: not installed ({exc})")
    peer_names = [n for n in peers.PEERS if n in adapters]

    ops = [o for o in OPS if not only or o[0] in only]
    # The empty timeit loop costs the same in every row: its minimum over the
    # whole run is subtracted from every cell.
    loop = min(measure([Cell({}, "pass")], 4 * reps, target))
    raw, start = [], time.time()
    for idx, (key, label, base, kind) in enumerate(ops, 1):
        if key not in adapters["ostrel"][1] or base not in adapters["floor"][1]:
            need = next((v for k, v in EVERYDAY_NEEDS.items() if key.startswith(k)), key)
            notes.append(f"{label}: skipped, this build of ostrel has no {need}")
            print(f"[{idx:2}/{len(ops)}] {label:<36} skipped (no {need})", flush=True)
            continue
        names = ["floor", "ostrel"] + [p for p in peer_names if key in adapters[p][1]]
        cells = [Cell({}, "pass")]
        cells += [Cell(adapters[n][0], adapters["floor"][1][base] if n == "floor"
                       else adapters[n][1][key]) for n in names]
        empty, *times = measure(cells, reps, target)
        loop = min(loop, empty)
        raw.append((key, label, base, kind, dict(zip(names, times))))
        row = make_row(raw[-1], loop)
        peer_txt = " ".join(f"{p} {r:.1f}x" for p, r in row["peers"].items())
        print(f"[{idx:2}/{len(ops)}] {label:<36} {row['ns']['ostrel']:10.1f} ns  ostrel "
              f"{row['overhead']:.2f}x {row['baseline']}  (peer/ostrel: {peer_txt or '-'})",
              flush=True)
    rows = [make_row(r, loop) for r in raw]
    transfer = transfer_rows(quick, notes) if not only or "transfer" in only else []
    for r in transfer:
        print(f"[trans] {r['name']:<36} {r['ratio']:.2f}x {r['baseline']}", flush=True)

    mem = {}
    if not only or "memory" in only:
        makers = {"floor": adapters["floor"][0]["F"]}
        makers.update({n: adapters[n][0]["Ok"] for n in ["ostrel"] + peer_names})
        mem = {n: memory(make) for n, make in makers.items()}
        print("[mem  ] bytes per Ok(i): " + ", ".join(f"{n} {m[1]:.1f}" for n, m in mem.items()),
              flush=True)
    scaling = []
    if free_threaded() and (not only or "threads" in only):
        import threads
        scaling = threads.rows(quick)
    alloc = allocation_check()
    for label, ok_, detail in alloc:
        print(f"[alloc] {label}: {'ok' if ok_ else 'FAILED'}: {detail}", flush=True)
    info["load_end"] = os.getloadavg() if hasattr(os, "getloadavg") else None
    info["seconds"] = round(time.time() - start, 1)
    return {"machine": info, "quick": quick, "rows": rows, "transfer": transfer, "memory": mem,
            "alloc": alloc, "notes": notes, "peers": peer_names, "threads": scaling}


def misses(res):
    """The targets this interpreter's figures miss, in words."""
    out = []
    for row in res["rows"]:
        if row["met"] is False:
            op, limit = LIMIT[row["kind"]]
            out.append(f"{row['op']}: {row['overhead']:.2f}x {row['baseline']} "
                       f"(target {op} {limit})")
        for p, r in row["peers"].items():
            if r < 1 and row["kind"] != "attr" and row["key"] not in PROFILED:
                out.append(f"{row['op']}: {p} is {1 / r:.2f}x faster")
    for label, ok_, detail in res["alloc"]:
        if not ok_:
            out.append(f"{label} allocates beyond its result: {detail}")
    return out

# ---- the report -------------------------------------------------------------------

def machine():
    cpu = platform.processor() or platform.machine()
    try:
        for line in Path("/proc/cpuinfo").read_text().splitlines():
            if line.startswith("model name"):
                cpu = line.split(":", 1)[1].strip()
                break
    except OSError:
        pass
    return {"cpu": cpu, "cores": os.cpu_count(), "os": platform.platform()}


def _ratio(v, bold_below_one=True):
    return f"**{v:.2f}x**" if v < 1 and bold_below_one else f"{v:.1f}x" if v >= 10 else f"{v:.2f}x"


def _target(kind):
    if kind not in LIMIT:
        return "—"
    op, limit = LIMIT[kind]
    shown = f"{limit:.1f}" if round(limit, 1) == limit else f"{limit:.2f}"
    return f"{'<' if op == '<' else '≤'} {shown}"


def _op(row):
    mark = " (a)" if row["kind"] == "attr" else ""
    mark += " (p)" if row["key"] in PROFILED else ""
    return row["op"].replace("|", "\\|") + mark


def interpreter_table(res):
    """One interpreter's figures as markdown."""
    b, m = res["machine"]["build"], res["machine"]
    load = lambda v: "/".join(f"{x:.2f}" for x in v) if v else "n/a"  # noqa: E731
    peer_names = res["peers"]
    out = [f"### CPython {b['label']}", "",
           f"Build: {b['build']}, {b['compiler']}, {b['optimizations']}; CFLAGS `{b['cflags']}`. "
           f"Libraries: " + ", ".join(f"{k} {v}" for k, v in m["libraries"].items())
           + f". Load {load(m['load_start'])} -> {load(m['load_end'])}, {m['seconds']} s.", ""]
    head = ["Operation", "Baseline", "ostrel ÷ base", "Target", ""] + peer_names
    out += ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for r in res["rows"]:
        if r["key"] in SECTIONS:
            out.append(f"| *{SECTIONS[r['key']]}* |" + " |" * (len(head) - 1))
        status = {None: "", True: "met", False: "**missed**"}[r["met"]]
        cells = []
        for p in peer_names:
            v = r["peers"].get(p)
            cells.append("—" if v is None else _ratio(v, r["kind"] != "attr"))
        out.append("| " + " | ".join([_op(r), r["baseline"], f"{r['overhead']:.2f}x",
                                      _target(r["kind"]), status] + cells) + " |")
    if res["transfer"]:
        out += ["", "Transfer (benchmarks/transfer.py):", "",
                "| Operation | Baseline | ostrel ÷ base |", "|---|---|---|"]
        out += [f"| {t['name']} | {t['baseline']} | {t['ratio']:.2f}x |" for t in res["transfer"]]
    if res["memory"]:
        mem = res["memory"]
        out += ["", "Memory per instance of `Ok(i)`, bytes (sys.getsizeof / tracemalloc over 100,000):",
                "", "| " + " | ".join(mem) + " |", "|" + "---|" * len(mem),
                "| " + " | ".join(f"{v[0]} / {v[1]:.0f}" for v in mem.values()) + " |"]
    if res.get("threads"):
        out += ["", "Scaling with the GIL off (benchmarks/threads.py): ns per call with one thread, and the "
                "throughput of 2 and 4 threads over one thread's; a peer's ns is also given as a multiple "
                "of ostrel's.", ""]
        out += threads_table(res["threads"])
    out.append("")
    out += [f"Allocation check: {label}: {'ok' if ok_ else 'FAILED'} ({detail}).  "
            for label, ok_, detail in res["alloc"]]
    out += [f"{n}.  " for n in res["notes"]]
    miss = misses(res)
    out.append("Targets: all met." if not miss else "Missed: " + "; ".join(miss) + ".")
    return out


def threads_table(found):
    sys.path.insert(0, str(HERE))
    import threads
    for row in found:  # JSON turns the thread counts into strings
        for lib in row["libs"].values():
            lib["scale"] = {int(k): v for k, v in lib["scale"].items()}
    return threads.table(found)


# The pairs measured in one run whose ratios are set against each other: a free-threaded build
# against the default build of the same version, and the abi3t wheel against the abi3 wheel on
# the same interpreter; each with the target for the quotient of their ratios.
PAIRS = (("free-threaded", 1.10), ("abi3t", 1.05))


def pair_of(res, by_label):
    """(the result res is measured against, what the pair is, its target), or None."""
    b = res["machine"]["build"]
    if b.get("wheel") == "abi3t":
        base, kind = by_label.get(b["interpreter"]), "abi3t"
    elif b.get("free_threaded"):
        base, kind = by_label.get(b["interpreter"][:-1]), "free-threaded"
    else:
        return None
    return (base, kind, dict(PAIRS)[kind]) if base is not None else None


def paired_cost(results):
    """Each row's ratio to the floor in one result over the same ratio in its pair's, where the
    run measured both: 3.14t against 3.14, the abi3t wheel against the abi3 wheel."""
    by_label = {r["machine"]["build"]["label"]: r for r in results}
    out = []
    for res in results:
        found = pair_of(res, by_label)
        if found is None:
            continue
        base, kind, limit = found
        label, other = res["machine"]["build"]["label"], base["machine"]["build"]["label"]
        plain = {r["key"]: r for r in base["rows"]}
        ratios = [(r, r["overhead"] / plain[r["key"]]["overhead"]) for r in res["rows"] if r["key"] in plain]
        if not ratios:
            continue
        worst = max(ratios, key=lambda x: x[1])
        title = f"### {label} against {other}" + (", one thread" if kind == "free-threaded" else "")
        out += [title, "",
                f"Each row's ostrel ÷ floor on {label} over the same ratio on {other} "
                f"(target: at most {limit:.2f}x): {min(x for _, x in ratios):.2f}-{worst[1]:.2f}x, the highest "
                f"on {worst[0]['op']}; {sum(x > limit for _, x in ratios)} of {len(ratios)} rows above {limit:.2f}x.",
                "", f"| Operation | {label} | {other} | {label} ÷ {other} |", "|---|---|---|---|"]
        out += [f"| {_op(r)} | {r['overhead']:.2f}x | {plain[r['key']]['overhead']:.2f}x | "
                f"{x:.2f}x{' ✗' if x > limit else ''} |" for r, x in ratios]
        out.append("")
    return out


def summary(results):
    """ostrel ÷ baseline, and the best peer ÷ ostrel, side by side for every interpreter."""
    vers = [r["machine"]["build"]["label"] for r in results]
    short = [re.sub(r"^(\d+\.\d+)\.\d+", r"\1", v) for v in vers]  # 3.15.2 Debian abi3t: 3.15 Debian abi3t
    rows, seen = {}, []
    for res in results:
        for r in res["rows"]:
            if r["key"] not in rows:
                rows[r["key"]] = {}
                seen.append(r)
            rows[r["key"]][res["machine"]["build"]["label"]] = r
    head = ["Operation", "Baseline", "Target"] + [f"{s}" for s in short] + \
           [f"best peer, {s}" for s in short]
    out = ["| " + " | ".join(head) + " |", "|" + "---|" * len(head)]
    for first in seen:
        per = rows[first["key"]]
        cells = []
        for v in vers:
            r = per.get(v)
            cells.append("—" if r is None else f"{r['overhead']:.2f}x"
                         + (" ✗" if r["met"] is False else ""))
        for v in vers:
            r = per.get(v)
            if r is None or not r["peers"]:
                cells.append("—")
                continue
            p, best = min(r["peers"].items(), key=lambda kv: kv[1])
            cells.append(f"{_ratio(best, r['kind'] != 'attr')} {p}")
        out.append("| " + " | ".join([_op(first), first["baseline"], _target(first["kind"])]
                                      + cells) + " |")
    return out


def render(results, meta):
    m = meta["machine"]
    out = [BEGIN, "## Last run", "",
           f"Command: `{meta['command']}` ({'--quick' if meta['quick'] else 'full'} run, "
           f"{len(results)} interpreter(s), {meta['seconds']:.0f} s in all), {meta['date']}.  ",
           f"Machine: {m['cpu']}, {m['cores']} cores, {m['os']}.  ",
           "Interpreters: " + "; ".join(
               f"CPython {r['machine']['build']['label']} ({r['machine']['build']['executable']}, "
               f"{r['machine']['build']['optimizations']})" for r in results) + ".", "",
           "Times are net of the empty timeit loop, minimum of interleaved repeats. "
           "`ostrel ÷ base` is ostrel's time over the baseline's (lower is better); peer columns "
           "are the peer's time over ostrel's (above 1: ostrel is faster; bold: the peer is "
           "faster). (a) marks plain attribute reads; (p) marks the rows explained by the "
           "profiles below. ✗ marks a missed target.", "",
           "### Summary: ostrel ÷ baseline, and the fastest peer's time ÷ ostrel's", ""]
    out += summary(results)
    out.append("")
    out += paired_cost(results)
    for res in results:
        out += interpreter_table(res) + [""]
    out.append(END)
    return "\n".join(out)


def write_results(text, path):
    """Replace the generated block of path, keeping the hand-written text around it."""
    old = path.read_text() if path.exists() else ""
    if BEGIN in old and END in old:
        new = old[:old.index(BEGIN)] + text + old[old.index(END) + len(END):]
    else:
        new = old.rstrip() + ("\n\n" if old else "") + text + "\n"
    path.write_text(new)

# ---- every interpreter: the driver ---------------------------------------------

def pyenv_interpreters():
    """Every pyenv CPython 3.10 to 3.13, newest patch release of each."""
    root = None
    if shutil.which("pyenv"):
        root = subprocess.run(["pyenv", "root"], capture_output=True, text=True).stdout.strip()
    root = Path(root or os.environ.get("PYENV_ROOT", Path.home() / ".pyenv"))
    found = {}
    for exe in sorted((root / "versions").glob("3.*/bin/python")):
        m = re.fullmatch(r"(3\.\d+)\.(\d+)", exe.parent.parent.name)
        if m and m.group(1) in VERSIONS:
            if m.group(1) not in found or int(m.group(2)) > found[m.group(1)][0]:
                found[m.group(1)] = (int(m.group(2)), exe)
    return [found[v][1] for v in VERSIONS if v in found]


def default_interpreters():
    """pyenv's 3.10-3.13, then 3.14 and 3.14t built from the release source by
    scripts/cpython.sh (made now if they are not yet), then Debian's 3.14 and 3.15 in the sid
    root of scripts/debian-root.sh when it has been made (its entries read "sid:python3.15"), and
    the abi3t wheel on that 3.15 ("sid:python3.15@abi3t")."""
    found = [str(p) for p in pyenv_interpreters()]
    for flavour in ("default", "ft"):
        made = subprocess.run(["bash", str(ROOT / "scripts" / "cpython.sh"), flavour], capture_output=True, text=True)
        if made.returncode == 0:
            found.append(made.stdout.strip().splitlines()[-1])
        else:
            print(f"no CPython 3.14 {flavour} build: {made.stderr.strip()[-300:]}", file=sys.stderr)
    sid = Path(os.environ.get("OSTREL_CACHE", Path.home() / ".cache" / "ostrel")) / "roots" / "sid" / ".complete"
    if sid.exists():
        found += ["sid:python3.14", "sid:python3.15", "sid:python3.15@abi3t"]
    return found


def run_in_sid(entry, quick, only):
    """Measure an interpreter of the Debian sid root: run this script there, on that one
    interpreter, and read back its figures."""
    exe, _, wheel = entry.split(":", 1)[1].partition("@")
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "figures.json"
        cmd = ["bash", str(ROOT / "scripts" / "debian-root.sh"), "run", "sid", "--bind", f"{ROOT}:{ROOT}",
               "--bind", f"{tmp}:{tmp}", "--", exe, str(Path(__file__).resolve()), "--python",
               f"/usr/bin/{exe}" + (f"@{wheel}" if wheel else ""),
               "--no-write", "--json", str(out)]
        cmd += ["--quick"] if quick else []
        cmd += ["--only", ",".join(only)] if only else []
        subprocess.run(cmd, check=True)
        return json.loads(out.read_text())["results"]


def source_hash():
    """A digest of everything the wheel is built from."""
    h = hashlib.sha256()
    files = [ROOT / "pyproject.toml", ROOT / "CMakeLists.txt"]
    for top in ("src", "python", "cmake"):
        files += sorted(p for p in (ROOT / top).rglob("*") if p.is_file() and "__pycache__" not in p.parts)
    for f in files:
        if f.exists():
            h.update(str(f.relative_to(ROOT)).encode() + b"\0" + f.read_bytes())
    return h.hexdigest()[:16]


def is_free_threaded(python):
    out = subprocess.run([str(python), "-c", "import sysconfig; print(sysconfig.get_config_var('Py_GIL_DISABLED'))"],
                         capture_output=True, text=True, check=True).stdout.strip()
    return out == "1"


def build_wheel(log, python=None, abi3t=False):
    """The project's wheel, built once per source state: the abi3 wheel, by the running
    interpreter; for a free-threaded interpreter its own wheel, built by it; with abi3t, the
    abi3t wheel, built by the given interpreter (3.15 or later, whose headers it needs)."""
    ft = python is not None and is_free_threaded(python) and not abi3t
    out = cache_dir() / "wheels" / (source_hash() + ("-ft" if ft else "-abi3t" if abi3t else ""))
    wheels = sorted(out.glob("ostrel-*.whl"))
    if wheels:
        return wheels[0]
    out.mkdir(parents=True, exist_ok=True)
    print(f"building the wheel into {out} ...", flush=True)
    # py-api cp315 gives the abi3t build a build directory of its own (build/cp315-abi3-...).
    extra = ["-Ccmake.define.OSTREL_ABI3T=ON", "-Cwheel.py-api=cp315"] if abi3t else []
    builder = with_pip(python if ft or abi3t else sys.executable, log)
    subprocess.run([str(builder), "-m", "pip", "wheel", "--no-deps", "-q", "-w", str(out), *extra, str(ROOT)],
                   check=True, stdout=log, stderr=subprocess.STDOUT)
    return sorted(out.glob("ostrel-*.whl"))[0]


def with_pip(python, log):
    """An interpreter that runs pip: `python` itself, or a venv made from it once (Debian's
    python3.X comes without pip)."""
    if subprocess.run([str(python), "-m", "pip", "--version"], capture_output=True).returncode == 0:
        return python
    venv = cache_dir() / "pip" / hashlib.sha256(str(Path(python).resolve()).encode()).hexdigest()[:8]
    if not (venv / "bin" / "python").exists():
        subprocess.run([str(python), "-m", "venv", str(venv)], check=True, stdout=log, stderr=subprocess.STDOUT)
    return venv / "bin" / "python"


def bench_requirements():
    """The `bench` extra of pyproject.toml."""
    text = (ROOT / "pyproject.toml").read_text()
    m = re.search(r"^bench\s*=\s*\[(.*?)\]", text, re.M | re.S)
    return re.findall(r'"([^"]+)"', m.group(1)) if m else []


def ensure_venv(python, wheel, log, variant=""):
    """A venv for this interpreter (one per variant of the wheel) with the wheel and the
    peers; reused while they match."""
    version = subprocess.run([str(python), "-c", "import platform; print(platform.python_version())"],
                             capture_output=True, text=True, check=True).stdout.strip()
    tag = hashlib.sha256(str(Path(python).resolve()).encode()).hexdigest()[:8]
    venv = cache_dir() / "venvs" / (f"{version}-{tag}" + (f"-{variant}" if variant else ""))
    exe = venv / "bin" / "python"
    reqs = bench_requirements()
    stamp = venv / "ostrel-bench.json"
    want = {"wheel": wheel.name, "wheel_dir": wheel.parent.name, "bench": reqs}
    if exe.exists() and stamp.exists() and json.loads(stamp.read_text()) == want:
        return exe, []
    print(f"preparing {venv} ...", flush=True)
    if not exe.exists():
        subprocess.run([str(python), "-m", "venv", str(venv)], check=True, stdout=log,
                       stderr=subprocess.STDOUT)
    pip = [str(exe), "-m", "pip", "install", "-q", "--disable-pip-version-check"]
    subprocess.run(pip + ["--force-reinstall", "--no-deps", str(wheel)], check=True, stdout=log,
                   stderr=subprocess.STDOUT)
    notes = []
    for req in reqs:  # one by one, so that a peer that does not install skips only itself
        if subprocess.run(pip + [req], stdout=log, stderr=subprocess.STDOUT).returncode:
            notes.append(f"{req} did not install on CPython {version}")
    if not notes:
        stamp.write_text(json.dumps(want))
    return exe, notes


def run_worker(exe, quick, only, env=None):
    """Run the suite in interpreter exe; return its figures."""
    with tempfile.TemporaryDirectory() as tmp:
        out = Path(tmp) / "figures.json"
        cmd = [str(exe), str(Path(__file__).resolve()), "--worker", str(out)]
        cmd += ["--quick"] if quick else []
        cmd += ["--only", ",".join(only)] if only else []
        subprocess.run(cmd, check=True, env=env)
        return json.loads(out.read_text())


def main():
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--python", metavar="PATH", action="append",
                    help="an interpreter to measure, or sid:python3.15 for one of the Debian sid root; "
                         "PATH@abi3t measures the abi3t wheel there (repeatable; default: pyenv's "
                         "3.10-3.13, 3.14 and 3.14t from the release source, and the sid root's 3.14 "
                         "and 3.15, the latter with both wheels, when it exists)")
    ap.add_argument("--quick", action="store_true", help="shorter loops, fewer repeats")
    ap.add_argument("--only", metavar="KEYS",
                    help="comma-separated operation keys (also: transfer, memory); "
                         "a partial run does not write RESULTS.md")
    ap.add_argument("--inplace", action="store_true",
                    help="run in the given interpreters as they are: no venv, no wheel "
                         "(ostrel and the peers must be importable there)")
    ap.add_argument("--output", metavar="FILE", type=Path, default=RESULTS,
                    help="the markdown file whose generated block is replaced")
    ap.add_argument("--no-write", action="store_true", help="print the tables only")
    ap.add_argument("--json", metavar="FILE", help="also write every figure to FILE")
    ap.add_argument("--worker", metavar="FILE", help=argparse.SUPPRESS)
    opts = ap.parse_args()
    only = [k for k in (opts.only or "").split(",") if k]

    if opts.worker:
        Path(opts.worker).write_text(json.dumps(suite(opts.quick, set(only))))
        return

    pythons = opts.python or default_interpreters() or [sys.executable]
    start, results = time.time(), []
    log_path = cache_dir() / "setup.log"
    log_path.parent.mkdir(parents=True, exist_ok=True)
    with open(log_path, "w") as log:
        for python in pythons:
            print(f"==== {python}", flush=True)
            notes = []
            try:
                if python.startswith("sid:"):
                    results += run_in_sid(python, opts.quick, only)
                    continue
                path, _, variant = python.partition("@")
                if variant not in ("", "abi3t"):
                    sys.exit(f"{python}: the only wheel that can be named is abi3t")
                exe = Path(path)
                if not opts.inplace:
                    exe, notes = ensure_venv(exe, build_wheel(log, exe, abi3t=variant == "abi3t"), log, variant)
                res = run_worker(exe, opts.quick, only)
            except subprocess.CalledProcessError as exc:
                print(f"{python}: failed ({exc}); see {log_path}", file=sys.stderr, flush=True)
                continue
            res["notes"] = notes + res["notes"]
            results.append(res)
    if not results:
        sys.exit("no interpreter could be measured")

    meta = {"machine": machine(), "quick": opts.quick, "seconds": time.time() - start,
            "command": " ".join(["python3", "benchmarks/run.py"] + sys.argv[1:]),
            "date": datetime.datetime.now(datetime.timezone.utc).strftime("%Y-%m-%d %H:%M UTC")}
    text = render(results, meta)
    print()
    print(text)
    if opts.json:
        Path(opts.json).write_text(json.dumps({"meta": meta, "results": results}, indent=1))
    if not opts.no_write and not only:
        write_results(text, opts.output)
        print(f"\nwrote {opts.output}")


if __name__ == "__main__":
    main()
