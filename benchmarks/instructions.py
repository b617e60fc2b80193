"""Instruction counts behind the rows where a peer is level or ahead on 3.12+.

python3 benchmarks/instructions.py [--python PATH ...] [--n 100000] [--no-write]

For each interpreter (default: every pyenv CPython 3.10 to 3.13, in the same
venvs as run.py), runs a loop of n statements under valgrind's callgrind for
ostrel, the floor and the peers, and reports instructions per statement net of
the same loop around `pass`. For the newest interpreter it also lists the
functions that account for the difference, which is what shows where a getset
read or a C-to-Python callback spends its instructions against a specialised
property read or an inlined Python-to-Python call. The figures replace the
generated block of benchmarks/RESULTS.md.
"""

import argparse
import os
import re
import subprocess
import sys
import tempfile
from pathlib import Path

HERE = Path(__file__).resolve().parent
sys.path.insert(0, str(HERE))
# run.py is imported by the parent only: a child that imported it would pay for
# compiling it whenever it changed since the last run, inside the counted run.
FLOOR_ENV = "OSTREL_FLOOR_MODULE"

BEGIN = "<!-- begin: written by benchmarks/instructions.py -->"
END = "<!-- end: written by benchmarks/instructions.py -->"

# (row, library, statement); every library also runs its loop around `pass`.
CASES = [
    ("Ok.value", "ostrel", "ok.value"),
    ("Ok.value", "floor", "x.value"),
    ("Ok.value", "result", "ok.ok_value"),
    ("Ok.is_ok", "ostrel", "ok.is_ok"),
    ("Ok.is_ok", "result", "ok.is_ok()"),
    ("Ok.and_then(py_fn)", "ostrel", "ok.and_then(fp)"),
    ("Ok.and_then(py_fn)", "floor", "x.call(fp)"),
    ("Ok.and_then(py_fn)", "result", "ok.and_then(fp)"),
    ("Ok.and_then(py_fn)", "returns", "ok.bind(fp)"),
    ("Ok.and_then(py_fn)", "plain", "fp(v)"),
    ("Ok.and_then(abs)", "ostrel", "ok.and_then(fb)"),
    ("Ok.and_then(abs)", "floor", "x.call(fb)"),
    ("Ok.and_then(abs)", "result", "ok.and_then(fb)"),
    ("Ok.and_then(abs)", "plain", "fb(v)"),
]
LABEL = {"ostrel": "ostrel", "floor": "floor (getset / call)", "result": "result",
         "returns": "returns", "plain": "plain Python call fp(v) / fb(v)"}


def namespace(lib):
    """The few objects a statement uses, built without anything else (callgrind is slow)."""
    def fp(v):
        return v
    ns = {"fp": fp, "fb": abs, "v": 1}
    if lib == "ostrel":
        from ostrel import Ok
        ns["ok"] = Ok(1)
    elif lib == "floor":
        import importlib.util
        spec = importlib.util.spec_from_file_location("ostrel_floor", os.environ[FLOOR_ENV])
        module = importlib.util.module_from_spec(spec)
        spec.loader.exec_module(module)
        ns["x"] = module.Floor(1)
    elif lib == "result":
        from result import Ok as ROk
        ns["ok"] = ROk(1)
    elif lib == "returns":
        from returns.result import Success
        ns["ok"] = Success(1)
    return ns


def child(lib, stmt, n):
    import gc
    gc.disable()  # a collection would land in one run and not in the other
    ns = namespace(lib)
    names = sorted(ns)
    src = f"def loop(n, {', '.join(names)}):\n    for _ in range(n):\n        {stmt}\n"
    code = {}
    exec(src, code)
    code["loop"](n, *(ns[k] for k in names))


def callgrind(exe, lib, stmt, n, tmp, floor):
    """(total instructions, {function: instructions}) of one run."""
    out = Path(tmp) / f"cg.{lib}.{abs(hash(stmt))}"
    subprocess.run(["valgrind", "--tool=callgrind", f"--callgrind-out-file={out}",
                    str(exe), str(Path(__file__).resolve()), "--child", lib, stmt, str(n)],
                   check=True, capture_output=True,
                   env={"PYTHONHASHSEED": "0", "PATH": "/usr/bin:/bin", FLOOR_ENV: floor})
    total = 0
    for line in out.read_text().splitlines():
        if line.startswith(("summary:", "totals:")):
            total = int(line.split()[1])
    ann = subprocess.run(["callgrind_annotate", "--auto=no", "--threshold=100", str(out)],
                         capture_output=True, text=True, check=True).stdout
    funcs = {}
    for line in ann.splitlines():
        m = re.match(r"\s*([\d,]+)\s+(?:\(\s*[\d.]+%\)\s+)?\S*?:?([^\s:]+) ", line + " ")
        if m and "PROGRAM TOTALS" not in line:
            funcs[m.group(2)] = funcs.get(m.group(2), 0) + int(m.group(1).replace(",", ""))
    return total, funcs


def profile(exe, n, detail, libs):
    """{(row, lib): (instructions per statement, [(function, per statement), ...])}."""
    floor = subprocess.run([str(exe), str(Path(__file__).resolve()), "--floor"], check=True,
                           capture_output=True, text=True).stdout.strip()  # built outside valgrind
    out = {}
    with tempfile.TemporaryDirectory() as tmp:
        base, ops = {}, {}
        for row, lib, stmt in CASES:
            if libs and lib not in libs:
                continue
            try:
                if lib not in base:
                    base[lib] = callgrind(exe, lib, "pass", n, tmp, floor)
                ops[(row, lib)] = callgrind(exe, lib, stmt, n, tmp, floor)
            except subprocess.CalledProcessError as exc:
                print(f"  {row} / {lib}: failed ({exc.stderr.decode()[-300:]})", flush=True)
        for lib in list(base):
            # Measured again after the statements: the first run of a library can
            # pay one-off work (compiling a stale cache file, say); keep the lower.
            again = callgrind(exe, lib, "pass", n, tmp, floor)
            base[lib] = min(base[lib], again, key=lambda b: b[0])
        for (row, lib), (total, funcs) in ops.items():
            per = (total - base[lib][0]) / n
            diff = {f: (c - base[lib][1].get(f, 0)) / n for f, c in funcs.items()}
            top = sorted(((f, d) for f, d in diff.items() if d >= 1), key=lambda kv: -kv[1])[:8]
            out[(row, lib)] = (per, top if detail else [])
            print(f"  {row:<20} {lib:<8} {per:8.1f} instructions", flush=True)
    return out


def render(results, n):
    vers = list(results)
    out = [BEGIN, "",
           f"Instructions per statement (callgrind, a loop of {n:,} statements in a function, "
           "net of the same loop around `pass`; `python3 benchmarks/instructions.py`):", "",
           "| Row | Library | " + " | ".join(vers) + " |", "|---|---|" + "---|" * len(vers)]
    for row, lib, _stmt in CASES:
        cells = [f"{results[v][(row, lib)][0]:.0f}" if (row, lib) in results[v] else "—"
                 for v in vers]
        out.append(f"| {row} | {LABEL[lib]} | " + " | ".join(cells) + " |")
    newest = vers[-1]
    out += ["", f"Where the instructions go on {newest} (per statement, net of the empty loop; "
                "the functions above one instruction):", ""]
    for row, lib, _stmt in CASES:
        got = results[newest].get((row, lib))
        if got and got[1]:
            out.append(f"- {row}, {LABEL[lib]} ({got[0]:.0f}): "
                       + ", ".join(f"`{f}` {d:.0f}" for f, d in got[1]))
    out += ["", END]
    return "\n".join(out)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--child":
        child(sys.argv[2], sys.argv[3], int(sys.argv[4]))
        return
    import run
    if len(sys.argv) > 1 and sys.argv[1] == "--floor":
        run.build_floor()
        print(run.floor_path())
        return
    ap = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    ap.add_argument("--python", metavar="PATH", action="append",
                    help="an interpreter (repeatable; default: every pyenv 3.10-3.13)")
    ap.add_argument("--n", type=int, default=100_000, help="statements per loop")
    ap.add_argument("--lib", action="append", help="profile only this library (repeatable)")
    ap.add_argument("--no-write", action="store_true", help="print the figures only")
    opts = ap.parse_args()
    pythons = [Path(p) for p in opts.python] if opts.python else run.pyenv_interpreters()
    results = {}
    log_path = run.cache_dir() / "setup.log"
    log_path.parent.mkdir(parents=True, exist_ok=True)
    with open(log_path, "w") as log:
        wheel = run.build_wheel(log)
        for i, python in enumerate(pythons):
            exe, _notes = run.ensure_venv(python, wheel, log)
            version = subprocess.run([str(exe), "-c", "import platform; print(platform.python_version())"],
                                     capture_output=True, text=True, check=True).stdout.strip()
            print(f"==== CPython {version}", flush=True)
            results[version] = profile(exe, opts.n, i == len(pythons) - 1, opts.lib)
    text = render(results, opts.n)
    print(text)
    if not opts.no_write:
        path = HERE / "RESULTS.md"
        old = path.read_text()
        if BEGIN in old and END in old:
            path.write_text(old[:old.index(BEGIN)] + text + old[old.index(END) + len(END):])
        else:
            path.write_text(old.rstrip() + "\n\n" + text + "\n")
        print(f"wrote {path}")


if __name__ == "__main__":
    main()
