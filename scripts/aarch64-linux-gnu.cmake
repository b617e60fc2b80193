# Cross build of the abi3 modules for 64-bit ARM Linux on an x86-64 host, with Debian's or
# Ubuntu's g++-aarch64-linux-gnu (which brings the aarch64 glibc and libstdc++ it links with).
# scripts/aarch64-wheel.sh uses it; by hand, from the source tree:
#
#   CMAKE_TOOLCHAIN_FILE=$PWD/scripts/aarch64-linux-gnu.cmake python -m build --wheel \
#     -Cwheel.tags=cp310-abi3-linux_aarch64 -Cbuild-dir=build/aarch64 \
#     -Ccmake.define.Python_INCLUDE_DIR=HEADERS .
#
# HEADERS is the include directory of any CPython >= 3.10 built for aarch64 (the modules use
# the limited API of 3.10 only), whose pyconfig.h is the aarch64 one. The build directory is
# one of its own because the default one is named by the host's tag. The interpreter running
# the build has to be a CPython with the GIL: the build asks it which of the two builds to
# make and for the abi3 suffix, which are the same on the target.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)
# Programs (the interpreter, ninja) come from the host; libraries and packages only from the
# cross toolchain's tree, so that nothing built for the host ends up in the modules.
set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
