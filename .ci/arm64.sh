#!/usr/bin/env bash
# CI on 64-bit ARM Linux, run through qemu-user in Debian 12 arm64 roots (scripts/debian-root.sh,
# made once per machine under ${OSTREL_CACHE:-~/.cache/ostrel}/roots; the first run makes them):
#  1. in the arm64 root, which has Python but no compiler (like the slim images users run),
#     the aarch64 wheel with the test extras, binaries only, in the .venv of a copy of the
#     project, and the README's test command run there: the whole suite;
#  2. in the arm64-dev root (the same plus g++ and python3-dev), the sdist installed into a
#     fresh venv, and the quickstart run from the unpacked sdist.
# Each part prints its time. The roots stay unchanged: everything a run makes (the copy, the
# venvs, pip's cache, temporary files) lives under WORKDIR, bound into the root as /ci, and
# WORKDIR/tmp as /tmp.
#
#   WHEEL=ostrel-...-manylinux_2_17_aarch64.whl SDIST=ostrel-....tar.gz bash .ci/arm64.sh WORKDIR
set -uo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
WHEEL=$(realpath "${WHEEL:?the aarch64 wheel}")
SDIST=$(realpath "${SDIST:?the sdist}")
WORK=$(mkdir -p "${1:?usage: arm64.sh WORKDIR}" && cd "$1" && pwd)
roots="bash $ROOT/scripts/debian-root.sh"
failures=()

fail() { echo "FAILED: arm64: $*"; failures+=("$*"); }
inside() {  # root command...: run in the root, with WORK as /ci and pip's cache there
  local name=$1; shift
  $roots run "$name" --bind "$WORK:/ci" --bind "$WORK/tmp:/tmp" -- env PIP_CACHE_DIR=/ci/pip-cache "$@"
}

mkdir -p "$WORK/dist" "$WORK/tmp"
cp "$WHEEL" "$SDIST" "$WORK/dist/"
wheel=/ci/dist/$(basename "$WHEEL") sdist=/ci/dist/$(basename "$SDIST")

start=$SECONDS
if ! $roots make arm64 >/dev/null || ! $roots make arm64-dev >/dev/null; then
  echo "FAILED: arm64: the Debian roots"; exit 1
fi
echo "arm64: roots ready: $((SECONDS - start)) s"

# 1. The wheel and the suite, from a copy of the project as .ci/run makes them.
mkdir -p "$WORK/tree"
tar -C "$ROOT" --exclude=./.git --exclude=./.venv --exclude=./build -cf - . | tar -C "$WORK/tree" -xf -
start=$SECONDS
if inside arm64 bash -c "python3 -m venv /ci/tree/.venv &&
    /ci/tree/.venv/bin/python -m pip install -q --only-binary=:all: '$wheel[test]'"; then
  echo "arm64: wheel and test extras installed: $((SECONDS - start)) s"
  start=$SECONDS
  inside arm64 bash -c "uname -m && cd /ci/tree && .venv/bin/python -m pytest -q -p no:cacheprovider"
  rc=$?
  echo "arm64: suite: $((SECONDS - start)) s"
  if [ $rc -eq 5 ]; then fail "no tests collected"
  elif [ $rc -ne 0 ]; then fail "tests (exit $rc)"
  fi
else
  fail "installing the wheel"
fi

# 2. The sdist, built and installed where a compiler is, and the quickstart.
start=$SECONDS
if inside arm64-dev bash -c "python3 -m venv /ci/venv-sdist && /ci/venv-sdist/bin/python -m pip install -q '$sdist'"; then
  echo "arm64: sdist built and installed: $((SECONDS - start)) s"
  mkdir -p "$WORK/sdist" && tar xzf "$SDIST" -C "$WORK/sdist"
  inside arm64-dev bash -c "cd /ci/sdist/ostrel-*/ && /ci/venv-sdist/bin/python examples/quickstart.py" ||
    fail "quickstart from the sdist"
else
  fail "installing the sdist"
fi

if [ ${#failures[@]} -ne 0 ]; then exit 1; fi
echo "arm64: passed"
