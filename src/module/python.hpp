// The one include of the interpreter's headers, so that every source sees the
// same limited-API setting.
#pragma once

#ifndef Py_LIMITED_API
#error "ostrel_core is built against the limited API; Py_LIMITED_API must be set by the build"
#endif

#define PY_SSIZE_T_CLEAN
#include <Python.h>

#if defined(__GNUC__)
#define OSTREL_LIKELY(x) __builtin_expect(!!(x), 1)
#define OSTREL_UNLIKELY(x) __builtin_expect(!!(x), 0)
#else
#define OSTREL_LIKELY(x) (x)
#define OSTREL_UNLIKELY(x) (x)
#endif
