#!/usr/bin/env bash
# Static analysis of src/: clang-tidy (checks in .clang-tidy) and cppcheck. Both must be clean.
#
#   bash .ci/lint.sh
set -euo pipefail
cd "$(dirname "$0")/.."
. .ci/instrumented.sh
BUILD=$ROOT/build/lint

needs_debian clang-tidy cppcheck g++
# A compile database with the real flags (Py_LIMITED_API, include directories) of the build;
# without LTO, whose flags clang-tidy does not know.
configure "$BUILD" -DCMAKE_EXPORT_COMPILE_COMMANDS=ON -DOSTREL_LTO=OFF
mapfile -t SOURCES < <(find src -name '*.cpp' | sort)

echo "lint: clang-tidy on ${#SOURCES[@]} files"
clang-tidy --quiet -p "$BUILD" --extra-arg=-Wno-unknown-warning-option "${SOURCES[@]}"

# TextBuilder's inline buffer is left uninitialised on purpose: it is written before it is read.
PYINC=$("$PY" -c 'import sysconfig; print(sysconfig.get_paths()["include"])')
echo "lint: cppcheck"
cppcheck --quiet --error-exitcode=1 --std=c++20 --language=c++ --inline-suppr \
  --enable=warning,performance,portability --suppress=missingIncludeSystem \
  --suppress=uninitMemberVar:src/module/text.hpp \
  -DPy_LIMITED_API=0x030A0000 -DOSTREL_VERSION='"0"' -D__GNUC__ -I src -isystem "$PYINC" \
  --cppcheck-build-dir="$BUILD" src
echo "lint: clean"
