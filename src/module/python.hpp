// The one include of the interpreter's headers, and the one place that says
// which ABI a build targets:
//  - the abi3 build: the limited API of CPython 3.10 (Py_LIMITED_API set by
//    the build), loaded unchanged by every CPython from 3.10 on that has a GIL;
//  - the free-threaded build (OSTREL_FREE_THREADED): the full API of one
//    free-threaded interpreter (3.14t), which has no limited API. It uses the
//    same functions as the abi3 build, plus the few that module/threads.hpp
//    names for running without the GIL;
//  - the abi3t build (OSTREL_ABI3T, Py_TARGET_ABI3T set by the build): the
//    limited API of CPython 3.15 for interpreters with and without the GIL,
//    loaded unchanged by every CPython from 3.15 on, 3.15t included. The
//    headers define Py_GIL_DISABLED for it, so it is also a free-threaded
//    build: whatever the other free-threaded build makes safe without the GIL
//    is made safe here too, by the means the limited API offers
//    (module/threads.hpp). The object header is opaque: instances keep their
//    fields where the interpreter places them (module/layout.hpp), and the
//    modules are exported by the hook of PEP 793.
#pragma once

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#if defined(Py_TARGET_ABI3T)
#if !defined(Py_GIL_DISABLED) || !defined(Py_LIMITED_API) || Py_LIMITED_API + 0 < 0x030F0000
#error "the abi3t build needs the headers of CPython 3.15 or later"
#endif
#define OSTREL_FREE_THREADED 1
#define OSTREL_ABI3T 1
#elif defined(Py_GIL_DISABLED)
#if PY_VERSION_HEX < 0x030E0000
#error "the free-threaded build needs CPython 3.14t or later"
#endif
#define OSTREL_FREE_THREADED 1
#define OSTREL_ABI3T 0
#else
#if !defined(Py_LIMITED_API)
#error "with the GIL, ostrel is built against the limited API; Py_LIMITED_API must be set by the build"
#endif
#define OSTREL_FREE_THREADED 0
#define OSTREL_ABI3T 0
#endif

#if defined(__GNUC__)
#define OSTREL_LIKELY(x) __builtin_expect(!!(x), 1)
#define OSTREL_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OSTREL_LIKELY(x) (x)
#define OSTREL_UNLIKELY(x) (x)
#endif
