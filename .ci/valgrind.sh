#!/usr/bin/env bash
# Run the tests under valgrind memcheck against a debug-info build of ostrel_core in
# build/valgrind, with the interpreter's own allocator switched off (PYTHONMALLOC=malloc).
# Fails on any memcheck error and on any definite leak whose stack passes through ostrel_core.
# Child processes started by tests run natively.
#
#   bash .ci/valgrind.sh [pytest arguments...]
# The default is the member-by-member leak table (every method, property and slot of the six
# classes on its success and error paths) with few rounds: the whole suite is too slow here.
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/instrumented.sh
BUILD=$ROOT/build/valgrind
LOGS=$BUILD/logs

needs_debian valgrind g++
configure "$BUILD" -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build "$BUILD"
rm -rf "$LOGS" && mkdir -p "$LOGS"

if [ $# -eq 0 ]; then set -- tests/test_leaks.py; fi
set +e
env PYTHONMALLOC=malloc OSTREL_LEAK_ROUNDS="${OSTREL_LEAK_ROUNDS:-3}" PYTHONPATH="$BUILD:$ROOT/python" \
  valgrind --tool=memcheck --leak-check=full --show-leak-kinds=definite \
  --errors-for-leak-kinds=definite --num-callers=40 --log-file="$LOGS/memcheck.%p" \
  "$PY" -m pytest -q -p no:cacheprovider "$@"
status=$?
set -e

# A record is the run of "==pid== " lines between two blank "==pid==" lines.
report=$(sed -E 's/^==[0-9]+== ?//' "$LOGS"/memcheck.* |
  awk -v src="$ROOT/src/" '
    /^$/ { if (rec != "" && (rec ~ /ostrel_core/ || index(rec, src)) &&
               (rec ~ /definitely lost/ || rec !~ /(possibly|indirectly) lost|still reachable/) &&
               rec ~ /^(Invalid|Conditional|Use of|Syscall|Mismatched|Source and|Argument|[0-9,]+ .*bytes in)/)
             print rec "\n"
           rec = ""; next }
    { rec = (rec == "" ? $0 : rec "\n" $0) }')
summary=$(grep -h -E "ERROR SUMMARY|definitely lost:" "$LOGS"/memcheck.* | sed -E 's/^==[0-9]+== //' | sort | uniq -c)

echo "valgrind: pytest exit $status"
echo "$summary"
if [ -n "$report" ]; then
  echo "valgrind: errors or definite leaks in ostrel_core:" >&2
  echo "$report" | head -200 >&2
  exit 1
fi
[ "$status" -eq 0 ] || exit "$status"
echo "valgrind: clean (no memcheck error or definite leak involving ostrel_core)"
