// The six classes: their definitions as data, and the process-wide cache of
// their type objects, created on first use and kept for the process.
#pragma once

#include "module/outcome.hpp"

namespace ostrel {

enum class Cls : int { Result, Ok, Err, Option, Some, Nothing, count_ };

// A class attribute stored on the type after it is created.
struct ClassAttr {
  const char* name;
  PyObject* (*compute)();  // a new reference, or null with an exception set
};

// Everything needed to build one class with PyType_FromSpec.
struct ClassDef {
  const char* name;       // "Some"
  const char* spec_name;  // "ostrel.option.Some": gives __module__ and __name__
  const char* doc;        // text signature, "--", then the body
  Cls base;               // its base class; Cls::count_ for object
  int basicsize;
  unsigned int flags;
  const PyType_Slot* slots;  // the class's own slots, in order, ending with {0, nullptr}
  PyMethodDef* methods;
  PyGetSetDef* getset;
  destructor dealloc;
  traverseproc traverse;  // null for classes without the GC flag
  allocfunc alloc;        // null to inherit tp_alloc
  const ClassAttr* attrs;
  int n_attrs;
};

extern const ClassDef kResultClass;
extern const ClassDef kOkClass;
extern const ClassDef kErrClass;
extern const ClassDef kOptionClass;
extern const ClassDef kSomeClass;
extern const ClassDef kNothingClass;

const ClassDef& class_def(Cls c) noexcept;

namespace detail {
// Filled once a class is complete (type created and class attributes stored).
extern PyTypeObject* g_complete[static_cast<int>(Cls::count_)];
PyTypeObject* type_object_slow(Cls c) noexcept;
}  // namespace detail

// The fallible lookup: a borrowed type object, or null with the creation
// error set (a RuntimeError chained to its cause).
PyTypeObject* lookup_type(Cls c) noexcept;

// The lookup used by operations: a creation failure is reported as
// unraisable and null is returned; the caller returns type_failure(c).
inline PyTypeObject* type_object(Cls c) noexcept {
  PyTypeObject* t = detail::g_complete[static_cast<int>(c)];
  if (OSTREL_LIKELY(t != nullptr)) return t;
  return detail::type_object_slow(c);
}
Outcome type_failure(Cls c) noexcept;

// Exact-type tests; the variants are final, so this is isinstance().
inline bool is_a(PyObject* o, Cls c) noexcept {
  PyTypeObject* t = detail::g_complete[static_cast<int>(c)];
  return t != nullptr && Py_TYPE(o) == t;
}

}  // namespace ostrel
