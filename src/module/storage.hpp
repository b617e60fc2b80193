// Instance storage and lifetime of the variants.
//
// `Some` and `Ok` hold one reference, `Err` three; `Nothing` holds none.
// Instances are allocated through object's tp_new, take part in the cyclic
// garbage collector only when something they hold could close a cycle, and
// are released iteratively so that dropping a long chain of nested values
// cannot overflow the C stack.
#pragma once

#include "module/outcome.hpp"
#include "module/types.hpp"

namespace ostrel {

struct ValueObject {  // Some, Ok
  PyObject_HEAD
  PyObject* value;
};

struct ErrObject {
  PyObject_HEAD
  PyObject* error;
  PyObject* notes;  // always a tuple
  PyObject* trace;  // always a tuple
};

inline PyObject* value_of(PyObject* self) noexcept {
  return reinterpret_cast<ValueObject*>(self)->value;
}
inline ErrObject* as_err(PyObject* self) noexcept { return reinterpret_cast<ErrObject*>(self); }

// A new, field-less instance of `type`, allocated by object's tp_new with an
// empty argument tuple; null with the interpreter's exception on failure.
PyObject* allocate(PyTypeObject* type) noexcept;

// Stop tracking a freshly built instance when none of the given objects can
// take part in a reference cycle.
bool may_close_cycle(PyObject* o) noexcept;
inline void settle_tracking(PyObject* self, PyObject* a) noexcept {
  if (!may_close_cycle(a)) PyObject_GC_UnTrack(self);
}
inline void settle_tracking(PyObject* self, PyObject* a, PyObject* b, PyObject* c) noexcept {
  if (!may_close_cycle(a) && !may_close_cycle(b) && !may_close_cycle(c)) PyObject_GC_UnTrack(self);
}

// The internal constructors. Each returns a new instance of exactly its
// class; the references handed in are released on failure.
Outcome new_value_instance(Cls cls, Ref value) noexcept;  // Some, Ok
Outcome new_err_instance(Ref error, Ref notes, Ref trace) noexcept;

// Deallocators and traversal, shared by the classes of both families.
void dealloc_value(PyObject* self) noexcept;
void dealloc_err(PyObject* self) noexcept;
void dealloc_empty(PyObject* self) noexcept;  // classes without fields
int traverse_value(PyObject* self, visitproc visit, void* arg) noexcept;
int traverse_err(PyObject* self, visitproc visit, void* arg) noexcept;

// The process-wide empty tuple.
PyObject* empty_tuple() noexcept;

}  // namespace ostrel
