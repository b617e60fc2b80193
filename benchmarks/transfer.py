"""Returning 100,000 results from a process-pool worker, against the same data as plain tuples.

The worker builds its list once and keeps it, so a timed call measures the transfer:
pickling in the worker, the pipe, and unpickling in the caller. Ok(i) corresponds to the
tuple ("ok", i) and Err(error) with its notes and trace to ("err", error, notes, trace).
Calls of the two kinds are interleaved and the minimum of each is kept.

    python benchmarks/transfer.py [--quick]
"""

from __future__ import annotations

import concurrent.futures
import multiprocessing
import sys
import time
from typing import Any

N = 100_000
_BUILT: dict[tuple[str, int, int], list[Any]] = {}


def build(kind: str, n: int, err_every: int) -> list[Any]:
    """n results (one Err in every ``err_every``, with a note and a trace) or the same as tuples."""
    from ostrel import Err, Ok

    if kind == "results":
        return [Ok(i) if i % err_every else Err(f"row {i}").note("checking rows").traced("check") for i in range(n)]
    return [("ok", i) if i % err_every else ("err", f"row {i}", ("checking rows",), ("check",)) for i in range(n)]


def payload(kind: str, n: int, err_every: int) -> list[Any]:
    """Runs in the worker: the list of that kind, built on the first call only."""
    key = (kind, n, err_every)
    if key not in _BUILT:
        _BUILT[key] = build(kind, n, err_every)
    return _BUILT[key]


def _time(pool: concurrent.futures.ProcessPoolExecutor, kind: str, n: int, err_every: int) -> float:
    start = time.perf_counter()
    pool.submit(payload, kind, n, err_every).result()
    return time.perf_counter() - start


def transfer_rows(quick: bool) -> list[dict[str, Any]]:
    """One row per mix of Ok and Err: seconds to receive N results and N plain tuples."""
    repeats = 3 if quick else 15
    rows = []
    spawn = multiprocessing.get_context("spawn")
    with concurrent.futures.ProcessPoolExecutor(1, mp_context=spawn) as pool:
        for err_every, label in ((N + 1, "all Ok"), (100, "1% Err with note and trace")):
            for kind in ("results", "tuples"):  # build in the worker and warm up
                pool.submit(payload, kind, N, err_every).result()
            ours, base = [], []
            for _ in range(repeats):
                ours.append(_time(pool, "results", N, err_every))
                base.append(_time(pool, "tuples", N, err_every))
            rows.append({
                "name": f"{N:,} results from a process-pool worker ({label})",
                "ostrel_seconds": min(ours),
                "baseline_seconds": min(base),
                "baseline": "the same data as plain tuples",
            })
    return rows


def main() -> None:
    rows = transfer_rows("--quick" in sys.argv[1:])
    print("| Operation | ostrel (s) | Baseline | baseline (s) | ostrel ÷ base |")
    print("|---|---|---|---|---|")
    for r in rows:
        ratio = r["ostrel_seconds"] / r["baseline_seconds"]
        print(f"| {r['name']} | {r['ostrel_seconds']:.4f} | {r['baseline']} | {r['baseline_seconds']:.4f} | {ratio:.2f}x |")


if __name__ == "__main__":
    main()
