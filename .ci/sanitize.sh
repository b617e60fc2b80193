#!/usr/bin/env bash
# Build ostrel_core with AddressSanitizer and UndefinedBehaviorSanitizer in build/asan and run the
# test suite against that build. Fails on any ASan or UBSan error, and on any leak report whose
# allocation stack passes through ostrel_core (the interpreter's own end-of-process leaks are
# logged but not judged).
#
#   bash .ci/sanitize.sh [pytest arguments...]      # default: the whole tests/ directory
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/instrumented.sh
BUILD=$ROOT/build/asan
LOGS=$BUILD/logs

# A C++ compiler with the sanitizer runtimes; cmake, ninja, pytest and hypothesis from PyPI.
needs_debian g++
configure "$BUILD" -DOSTREL_SANITIZE=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD"
ls "$BUILD"/ostrel_core*.so >/dev/null

rm -rf "$LOGS" && mkdir -p "$LOGS"
ASAN_RT=$(g++ -print-file-name=libasan.so)
[ -f "$ASAN_RT" ] || { echo "sanitize: no ASan runtime at $ASAN_RT" >&2; exit 1; }

# Leaks are judged from the logs, so the processes themselves exit normally on leaks (the tests
# that start subprocesses check their exit codes). Errors abort at once.
# Pass 1 runs the suite with the fast unwinder. The interpreter has no frame pointers, so only
# the slow unwinder reaches our frames from an allocation: pass 2 repeats the member-by-member
# leak table (every method, property and slot on its success and error paths) with it.
# LeakSanitizer sees only memory that nothing points to: a leaked reference to an object that
# the cyclic GC tracks stays reachable through the GC's lists, which is why tests/test_leaks.py
# also counts references and blocks.
run_pass() {  # fast_unwind_on_malloc, pytest arguments...
  local fast=$1; shift
  env LD_PRELOAD="$ASAN_RT" PYTHONMALLOC=malloc PYTHONPATH="$BUILD:$ROOT/python" \
    ASAN_OPTIONS="detect_leaks=1:abort_on_error=1:halt_on_error=1:fast_unwind_on_malloc=$fast:malloc_context_size=16:log_path=$LOGS/asan" \
    LSAN_OPTIONS="exitcode=0" \
    UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1:log_path=$LOGS/ubsan" \
    "$PY" -m pytest -q -p no:cacheprovider "$@"
}
set +e
run_pass 1 "${@:-tests}"
status=$?
if [ "$status" -eq 0 ] && [ $# -eq 0 ]; then
  OSTREL_LEAK_ROUNDS=1 run_pass 0 tests/test_leaks.py
  status=$?
fi
set -e

# One leak report is a paragraph: "Direct leak of ..." and its stack, up to a blank line.
ours=$(cat "$LOGS"/asan.* 2>/dev/null |
  awk -v src="$ROOT/src/" '/^(Direct|Indirect) leak of/ {block=$0; keep=1; next}
       keep && /^$/ {if (block ~ /ostrel_core/ || index(block, src)) print block "\n"; keep=0; next}
       keep {block = block "\n" $0}' || true)
errors=$(grep -l -E "ERROR: AddressSanitizer|runtime error:" "$LOGS"/* 2>/dev/null || true)
total=$(cat "$LOGS"/asan.* 2>/dev/null | grep -c -E "^(Direct|Indirect) leak of" || true)

echo "sanitize: pytest exit $status; $total leak reports in all, none judged unless they involve ostrel_core"
if [ -n "$errors" ]; then
  echo "sanitize: sanitizer errors in:" $errors >&2
  for f in $errors; do head -60 "$f" >&2; done
  exit 1
fi
if [ -n "$ours" ]; then
  echo "sanitize: leaks allocated through ostrel_core:" >&2
  echo "$ours" | head -200 >&2
  exit 1
fi
[ "$status" -eq 0 ] || exit "$status"
echo "sanitize: clean (ASan+UBSan, LeakSanitizer on ostrel_core frames)"
