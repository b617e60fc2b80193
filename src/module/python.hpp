// The one include of the interpreter's headers, and the one place that says
// which ABI a build targets:
//  - the abi3 build: the limited API of CPython 3.10 (Py_LIMITED_API set by
//    the build), loaded unchanged by every CPython from 3.10 on that has a GIL;
//  - the free-threaded build (OSTREL_FREE_THREADED): the full API of one
//    free-threaded interpreter (3.14t), which has no limited API. It uses the
//    same functions as the abi3 build, plus the few that module/threads.hpp
//    names for running without the GIL.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#if defined(Py_GIL_DISABLED)
#if PY_VERSION_HEX < 0x030E0000
#error "the free-threaded build needs CPython 3.14t or later"
#endif
#define OSTREL_FREE_THREADED 1
#else
#if !defined(Py_LIMITED_API)
#error "with the GIL, ostrel is built against the limited API; Py_LIMITED_API must be set by the build"
#endif
#define OSTREL_FREE_THREADED 0
#endif

#if defined(__GNUC__)
#define OSTREL_LIKELY(x) __builtin_expect(!!(x), 1)
#define OSTREL_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OSTREL_LIKELY(x) (x)
#define OSTREL_UNLIKELY(x) (x)
#endif
