#!/usr/bin/env bash
# Static typing checks against the installed ostrel (run after it is installed):
#  1. stubtest: the stubs (ostrel_core-stubs, ostrel/*.pyi) agree with the live modules;
#  2. mypy --strict, pyright and basedpyright (strict) over the installed package and stubs;
#  3. the three checkers over the user programs in tests/typing (pass/ clean, fail/
#     rejected as each line announces per checker), examples/ and the python blocks of
#     the README and the guide, driven by tests/test_typing.py;
#  4. the API reference (mkdocs.yml), built from the stubs with warnings as errors.
# PYTHON selects the interpreter (default python3); stubtest is clean on 3.10 to 3.13.
# pyright comes with Node.js as a wheel (its nodejs extra), so nothing is downloaded
# when it starts.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$PWD
PYTHON="${PYTHON:-python3}"

# The versions these checks were last run with. A new release of a checker can change
# its messages and its inference, so move them on purpose, with tests/typing.
"$PYTHON" -m pip install -q "mypy==2.4.1" "pyright[nodejs]==1.1.414" "basedpyright==1.40.2" \
  "mkdocs==1.6.1" "mkdocstrings==1.0.8" "mkdocstrings-python==2.0.11"
"$PYTHON" -m mypy --version
"$PYTHON" -m pyright --version
"$PYTHON" -m basedpyright --version

echo "== stubtest"
# Run from an empty folder so that only the installed modules and stubs are seen.
allowlist="$ROOT/tests/typing/stubtest-allowlist.txt"
(cd "$(mktemp -d)" && "$PYTHON" -m mypy.stubtest --allowlist "$allowlist" ostrel_core ostrel)

echo "== mypy --strict: ostrel, ostrel_core"
(cd "$(mktemp -d)" && "$PYTHON" -m mypy --strict --cache-dir=/dev/null -p ostrel -p ostrel_core)

site=$("$PYTHON" -c 'import ostrel, pathlib; print(pathlib.Path(ostrel.__file__).parent.parent)')
package=("$site"/ostrel_core-stubs/__init__.pyi "$site"/ostrel/*.py "$site"/ostrel/*.pyi)
for checker in pyright basedpyright; do
  echo "== $checker (strict): ostrel, ostrel_core"
  (cd "$(mktemp -d)" && "$PYTHON" -m "$checker" --pythonpath "$PYTHON" \
    --project "$ROOT/tests/typing/pyrightconfig.json" "${package[@]}")
done

echo "== mypy --strict, pyright, basedpyright: tests/typing, examples, README, guide"
OSTREL_TYPECHECK_REQUIRED=1 "$PYTHON" -m pytest -q -p no:cacheprovider tests/test_typing.py

echo "== API reference: mkdocs build --strict"
"$PYTHON" -m mkdocs build --strict --site-dir "$(mktemp -d)"
