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

#include <atomic>

namespace ostrel {

#if OSTREL_ABI3T
namespace detail {
// None, False, True and NotImplemented, which the limited API of 3.13 and
// later names only through a call (Py_GetConstantBorrowed). Each module takes
// them once in its execution step, before any other code of it runs, and
// Py_None and the rest read them from here. Relaxed: every thread stores the
// same pointers, before the module's classes and functions are published.
inline std::atomic<PyObject*> g_constants[Py_CONSTANT_NOT_IMPLEMENTED + 1];
}  // namespace detail

inline void load_constants() noexcept {
  for (unsigned int id = 0; id <= Py_CONSTANT_NOT_IMPLEMENTED; ++id) {
    detail::g_constants[id].store(Py_GetConstantBorrowed(id), std::memory_order_relaxed);
  }
}
#else
inline void load_constants() noexcept {}
#endif

// Whether references to None, False, True and NotImplemented are counted.
// The limited API of 3.12 and later treats them as immortal (Py_RETURN_NONE
// returns None uncounted), and so does the abi3t build, which runs on 3.15
// and later; the other builds count them, as 3.10 and 3.11 need.
inline constexpr bool kCountConstants = OSTREL_ABI3T == 0;

// Whether reading an object's header is a call into the interpreter (Py_TYPE,
// and every reference count): true in the abi3t build, where PyObject is
// opaque. Hot paths that can skip a type test there do.
inline constexpr bool kHeaderIsACall = OSTREL_ABI3T != 0;

// f(arg), positional. The abi3t build calls through vectorcall (in the
// limited API from 3.12 on), which spares the interpreter walking a variable
// argument list; the limited API of 3.10 has only the variable-argument call.
inline PyObject* call_one(PyObject* f, PyObject* arg) noexcept {
#if OSTREL_ABI3T
  PyObject* args[2] = {nullptr, arg};
  return PyObject_Vectorcall(f, args + 1, 1 | PY_VECTORCALL_ARGUMENTS_OFFSET, nullptr);
#else
  return PyObject_CallFunctionObjArgs(f, arg, nullptr);
#endif
}

}  // namespace ostrel

#if OSTREL_ABI3T
#undef Py_None
#undef Py_False
#undef Py_True
#undef Py_NotImplemented
#define Py_None (::ostrel::detail::g_constants[Py_CONSTANT_NONE].load(std::memory_order_relaxed))
#define Py_False (::ostrel::detail::g_constants[Py_CONSTANT_FALSE].load(std::memory_order_relaxed))
#define Py_True (::ostrel::detail::g_constants[Py_CONSTANT_TRUE].load(std::memory_order_relaxed))
#define Py_NotImplemented (::ostrel::detail::g_constants[Py_CONSTANT_NOT_IMPLEMENTED].load(std::memory_order_relaxed))
#endif

#if defined(__GNUC__)
#define OSTREL_LIKELY(x) __builtin_expect(!!(x), 1)
#define OSTREL_UNLIKELY(x) __builtin_expect(!!(x), 0)
// For the few tiny members every entry runs (an Outcome's destructor and
// move): without it the compiler may call them out of line where the
// free-threaded reference counts make an entry larger.
#define OSTREL_ALWAYS_INLINE inline __attribute__((always_inline))
#else
#define OSTREL_LIKELY(x) (x)
#define OSTREL_UNLIKELY(x) (x)
#define OSTREL_ALWAYS_INLINE inline
#endif
