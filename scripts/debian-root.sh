#!/usr/bin/env bash
# Minimal Debian roots for interpreters and platforms the host does not have, made once per
# machine with debootstrap and kept under ${OSTREL_CACHE:-~/.cache/ostrel}/roots/; nothing is
# installed on the host itself but debootstrap (and qemu-user-static for a foreign arch).
#
#   bash scripts/debian-root.sh make sid      # Debian sid, amd64: python3.14 and python3.15 (and g++)
#   bash scripts/debian-root.sh make arm64    # Debian 12, arm64 under qemu-user: python3
#   bash scripts/debian-root.sh make arm64-dev  # the same plus g++ and python3-dev
#   bash scripts/debian-root.sh run NAME [--bind HOST:INSIDE]... -- COMMAND...
#
# `make` prints the root's path. `run` runs COMMAND inside the root in a private mount
# namespace (so the bind mounts of /proc, /dev and the given folders vanish with it), with
# the host's CA bundle as SSL_CERT_FILE and PIP_CERT, so that pip reaches the index (Debian 12's
# pip ignores SSL_CERT_FILE and reads its own bundle unless told otherwise).
#
# A root with a base (arm64-dev) starts as a copy of that root, made first if need be, so the
# slow part under emulation, debootstrap's second stage, runs once for both.
set -euo pipefail
cache=${OSTREL_CACHE:-$HOME/.cache/ostrel}/roots

spec() {  # name -> suite arch packages
  case "$1" in
    # libpython3.15-testsuite: its test_stable_abi_ctypes.py lists the stable ABI (scripts/stable_abi.py).
    sid) echo "sid amd64 python3.14 python3.14-venv python3.14-dev python3.15 python3.15-venv python3.15-dev libpython3.15-testsuite g++ ca-certificates" ;;
    arm64) echo "bookworm arm64 python3 python3-venv ca-certificates" ;;
    arm64-dev) echo "$(spec arm64) g++ python3-dev" ;;
    *) echo "debian-root.sh: unknown root '$1' (sid, arm64 or arm64-dev)" >&2; exit 2 ;;
  esac
}

base() {  # name -> the root it is copied from, if any
  case "$1" in
    arm64-dev) echo arm64 ;;
  esac
}

# A root of a foreign architecture runs its programs through qemu-user, which the kernel
# starts by binfmt_misc; update-binfmts mounts binfmt_misc when it is not (after a reboot, in
# a fresh container) and enables the handler.
emulate() {  # arch
  [ "$1" != "$(dpkg --print-architecture)" ] || return 0
  case "$1" in
    arm64) ;;
    *) echo "debian-root.sh: no emulation set up for $1" >&2; exit 2 ;;
  esac
  if ! grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-aarch64 2>/dev/null; then
    needs_host qemu-aarch64-static:qemu-user-static update-binfmts:binfmt-support
    update-binfmts --enable qemu-aarch64 >/dev/null
    grep -qx enabled /proc/sys/fs/binfmt_misc/qemu-aarch64 ||
      { echo "debian-root.sh: binfmt_misc does not run aarch64 programs through qemu" >&2; exit 1; }
  fi
}

needs_host() {  # command:package...
  local missing=() item
  for item in "$@"; do command -v "${item%%:*}" >/dev/null || missing+=("${item##*:}"); done
  if [ ${#missing[@]} -ne 0 ]; then
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Run a command inside ROOT with /proc and /dev bound, plus the binds given as HOST:INSIDE.
inside() {
  local root=$1; shift
  local binds=()
  while [ "$1" != "--" ]; do binds+=("$1"); shift; done
  shift
  cp /etc/ssl/certs/ca-certificates.crt "$root/etc/ssl/host-ca.crt"
  local mounts="mount --bind /proc '$root/proc' && mount --rbind /dev '$root/dev'"
  local b
  for b in "${binds[@]}"; do
    mkdir -p "$root${b#*:}"
    mounts+=" && mount --bind '${b%%:*}' '$root${b#*:}'"
  done
  unshare --mount --propagation private -- bash -c "$mounts && exec chroot '$root' \"\$@\"" inside \
    env -i PATH=/usr/local/bin:/usr/bin:/bin HOME=/root LANG=C.UTF-8 SSL_CERT_FILE=/etc/ssl/host-ca.crt \
    PIP_CERT=/etc/ssl/host-ca.crt PIP_DISABLE_PIP_VERSION_CHECK=1 "$@"
}

make_root() {
  local name=$1 suite arch packages
  read -r suite arch packages <<<"$(spec "$name")"
  local root="$cache/$name" stamp
  stamp="$suite $arch $packages"
  mkdir -p "$cache"
  exec 9>"$cache/$name.lock"
  flock 9
  if [ -f "$root/.complete" ] && [ "$(cat "$root/.complete")" = "$stamp" ]; then
    echo "$root"
    return
  fi
  local start from
  start=$(date +%s)
  from=$(base "$name")
  emulate "$arch"
  rm -rf "$root"
  if [ -n "$from" ]; then
    from=$(make_root "$from")  # in a subshell: its lock is its own
    echo "debian-root.sh: making $name from $from" >&2
    cp -a "$from" "$root"
    rm "$root/.complete"
    : >"$cache/$name.log"
  else
    needs_host debootstrap:debootstrap
    echo "debian-root.sh: making $name ($suite, $arch) in $root" >&2
    debootstrap --variant=minbase --arch="$arch" "$suite" "$root" http://deb.debian.org/debian \
      >"$cache/$name.log" 2>&1 || { tail -n 30 "$cache/$name.log" >&2; exit 1; }
  fi
  mkdir -p "$root/etc/ssl"
  inside "$root" -- apt-get -o Acquire::Check-Valid-Until=false -qq update >>"$cache/$name.log" 2>&1
  # shellcheck disable=SC2086 # the package list is meant to split
  inside "$root" -- env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends $packages \
    >>"$cache/$name.log" 2>&1 || { tail -n 30 "$cache/$name.log" >&2; exit 1; }
  inside "$root" -- apt-get clean
  echo "$stamp" >"$root/.complete"
  echo "debian-root.sh: $name ready in $(( $(date +%s) - start )) s" >&2
  echo "$root"
}

case "${1:-}" in
  make) make_root "${2:?root name}" ;;
  run)
    name=${2:?root name}; shift 2
    read -r _ arch _ <<<"$(spec "$name")"
    [ -f "$cache/$name/.complete" ] || { echo "debian-root.sh: make the $name root first" >&2; exit 1; }
    emulate "$arch"
    args=()
    while [ $# -gt 0 ] && [ "$1" != "--" ]; do
      [ "$1" = "--bind" ] || { echo "debian-root.sh: expected --bind or --" >&2; exit 2; }
      args+=("$2"); shift 2
    done
    [ "${1:-}" = "--" ] || { echo "debian-root.sh: no command" >&2; exit 2; }
    shift
    inside "$cache/$name" "${args[@]}" -- "$@"
    ;;
  *) echo "usage: debian-root.sh make NAME | run NAME [--bind HOST:INSIDE]... -- COMMAND..." >&2; exit 2 ;;
esac
