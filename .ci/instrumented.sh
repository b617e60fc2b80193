# Shared set-up of the scripts that build their own copy of ostrel_core (lint, sanitize,
# valgrind). Source it from the repository root, then call `configure BUILD_DIR [cmake args]`.
#   needs_debian PKG...   install the Debian packages whose commands are missing
#   PY                    the interpreter itself (a pyenv shim would run under the tools too)
ROOT=$PWD
PY=$("${PYTHON:-python3}" -c 'import sys; print(sys.executable)')

needs_debian() {  # each argument: command[:package]
  local missing=() item
  for item in "$@"; do
    command -v "${item%%:*}" >/dev/null || missing+=("${item##*:}")
  done
  if [ ${#missing[@]} -ne 0 ]; then
    apt-get update -qq && apt-get install -y -qq "${missing[@]}" >/dev/null
  fi
}

# Configure a Ninja build of the extension for $PY in the given directory.
configure() {
  local build=$1
  shift
  "$PY" -m pip install -q --disable-pip-version-check cmake ninja pytest hypothesis
  cmake -S . -B "$build" -G Ninja -DCMAKE_CXX_COMPILER=g++ -DPython_EXECUTABLE="$PY" "$@" >/dev/null
}
