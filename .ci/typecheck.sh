#!/usr/bin/env bash
# Static typing checks against the installed ostrel (run after it is installed):
#  1. stubtest: the stubs (ostrel_core-stubs, ostrel/*.pyi) agree with the live modules;
#  2. mypy --strict over the companion package and the stubs themselves;
#  3. mypy --strict over the user programs in tests/typing (pass/ clean, fail/ rejected
#     with the errors announced in their comments), driven by tests/test_typing.py.
# pyright is not run: its PyPI package downloads Node.js when first started, and CI
# reaches no host but the package registries.
# PYTHON selects the interpreter (default python3); stubtest is clean on 3.10 to 3.13.
set -euo pipefail
cd "$(dirname "$0")/.."
PYTHON="${PYTHON:-python3}"

if ! "$PYTHON" -c "import mypy" 2>/dev/null; then
  "$PYTHON" -m pip install -q mypy
fi
"$PYTHON" -m mypy --version

echo "== stubtest"
# Run from an empty folder so that only the installed modules and stubs are seen.
allowlist="$PWD/tests/typing/stubtest-allowlist.txt"
(cd "$(mktemp -d)" && "$PYTHON" -m mypy.stubtest --allowlist "$allowlist" ostrel_core ostrel)

echo "== mypy --strict: ostrel, ostrel_core"
(cd "$(mktemp -d)" && "$PYTHON" -m mypy --strict --cache-dir=/dev/null -p ostrel -p ostrel_core)

echo "== mypy --strict: tests/typing"
"$PYTHON" -m pytest -q -p no:cacheprovider tests/test_typing.py
