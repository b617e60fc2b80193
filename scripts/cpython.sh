#!/usr/bin/env bash
# Build a CPython 3.14 test interpreter from the release tarball, once per machine, and print
# the path of its python executable (the last line on stdout; progress goes to stderr).
#
#   bash scripts/cpython.sh default     # python3.14, the GIL build
#   bash scripts/cpython.sh ft          # python3.14t, free-threaded (--disable-gil)
#   bash scripts/cpython.sh tsan        # python3.14t with ThreadSanitizer
#
# The tarball is $CPYTHON_TARBALL, or the one in shared/cpython beside the checkout. Builds are
# kept in ${OSTREL_CACHE:-~/.cache/ostrel}/cpython/, one folder per tarball checksum and
# configure flags, so a later run reuses them; a lock keeps two runs from building the same one.
# No --enable-optimizations: builds compared in the benchmarks are all made this same way.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
flavour=${1:?usage: cpython.sh default|ft|tsan}
case "$flavour" in
  default) flags=() exe=python3.14 ;;
  ft) flags=(--disable-gil) exe=python3.14t ;;
  tsan) flags=(--disable-gil --with-thread-sanitizer) exe=python3.14t ;;
  *) echo "cpython.sh: unknown flavour '$flavour'" >&2; exit 2 ;;
esac

tarball=${CPYTHON_TARBALL:-}
if [ -z "$tarball" ]; then
  for dir in "$here/../shared/cpython" /work/shared/cpython; do
    found=$(ls "$dir"/Python-3.14.*.tar.xz 2>/dev/null | sort -V | tail -n 1 || true)
    if [ -n "$found" ]; then tarball=$found; break; fi
  done
fi
[ -f "$tarball" ] || { echo "cpython.sh: no CPython 3.14 tarball (set CPYTHON_TARBALL)" >&2; exit 1; }

sum=$(sha256sum "$tarball" | cut -c1-12)
version=$(basename "$tarball" .tar.xz)
key="$version-$sum-$(printf '%s' "${flags[*]:-none}" | tr ' ' '_' | tr -d -)"
cache=${OSTREL_CACHE:-$HOME/.cache/ostrel}/cpython
prefix="$cache/$key"
mkdir -p "$cache"

exec 9>"$cache/$key.lock"
flock 9
if [ ! -f "$prefix/.complete" ]; then
  start=$(date +%s)
  echo "cpython.sh: building $version ${flags[*]:-} into $prefix" >&2
  rm -rf "$prefix" "$prefix.src"
  mkdir -p "$prefix.src"
  tar xf "$tarball" -C "$prefix.src"
  src=$(ls -d "$prefix.src"/Python-*/)
  log="$cache/$key.log"
  if ! (cd "$src" && ./configure --prefix="$prefix" "${flags[@]}" && make -j"$(nproc)" && make install) >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "cpython.sh: the build failed; the whole log is $log" >&2
    exit 1
  fi
  rm -rf "$prefix.src"
  touch "$prefix/.complete"
  echo "cpython.sh: built in $(( $(date +%s) - start )) s" >&2
fi
"$prefix/bin/$exe" -c 'import sys, sysconfig; assert sysconfig.get_config_var("Py_GIL_DISABLED") == (sys.argv[1] != "default")' "$flavour"
echo "$prefix/bin/$exe"
