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

namespace detail {
extern PyObject* g_empty_tuple;
}
inline PyObject* empty_tuple_if_made() noexcept { return detail::g_empty_tuple; }

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

// The tp_alloc of Some, Ok and Err: a GC-aware instance that is not yet
// tracked, its fields null. Once its fields are stored, the instance is
// tracked only if one of them could close a reference cycle.
template <class Storage>
PyObject* alloc_variant(PyTypeObject* type, Py_ssize_t /*nitems*/) noexcept {
  auto* self = reinterpret_cast<Storage*>(_PyObject_GC_New(type));
  if (OSTREL_UNLIKELY(self == nullptr)) return nullptr;
  auto* fields = reinterpret_cast<PyObject**>(reinterpret_cast<char*>(self) + sizeof(PyObject));
  for (size_t i = 0; i < (sizeof(Storage) - sizeof(PyObject)) / sizeof(PyObject*); ++i) fields[i] = nullptr;
  return reinterpret_cast<PyObject*>(self);
}
bool may_close_cycle_slow(PyObject* o) noexcept;
inline bool may_close_cycle(PyObject* o) noexcept {
  // The common payloads, ints and strings, and the shared empty tuple of a
  // fresh Err's notes and trace, decided without a call.
  PyTypeObject* t = Py_TYPE(o);
  if (t == &PyLong_Type || t == &PyUnicode_Type || o == empty_tuple_if_made()) return false;
  return may_close_cycle_slow(o);
}
inline void track_if_needed(PyObject* self, PyObject* a) noexcept {
  if (may_close_cycle(a)) PyObject_GC_Track(self);
}
inline void track_if_needed(PyObject* self, PyObject* a, PyObject* b, PyObject* c) noexcept {
  if (may_close_cycle(a) || may_close_cycle(b) || may_close_cycle(c)) PyObject_GC_Track(self);
}

// The internal constructors. Each returns a new instance of exactly its
// class; the references handed in are released on failure.
Outcome new_err_instance(Ref error, Ref notes, Ref trace) noexcept;

// Some, Ok
inline Outcome new_value_instance(Cls cls, Ref value) noexcept {
  PyTypeObject* type = type_object(cls);
  if (OSTREL_UNLIKELY(type == nullptr)) return type_failure(cls);
  PyObject* self = allocate(type);
  if (OSTREL_UNLIKELY(self == nullptr)) return Outcome::capture();
  reinterpret_cast<ValueObject*>(self)->value = value.release();
  track_if_needed(self, value_of(self));
  return Outcome::value(Ref::steal(self));
}

// Deallocators and traversal, shared by the classes of both families.
void dealloc_value(PyObject* self) noexcept;
void dealloc_err(PyObject* self) noexcept;
void dealloc_empty(PyObject* self) noexcept;  // classes without fields
int traverse_value(PyObject* self, visitproc visit, void* arg) noexcept;
int traverse_err(PyObject* self, visitproc visit, void* arg) noexcept;

// The process-wide empty tuple.
PyObject* empty_tuple() noexcept;

}  // namespace ostrel
