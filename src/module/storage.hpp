// Instances of the variants: their layouts, the one construction path per
// layout, their lifetime, and the shared Nothing.
//
// `Some` and `Ok` hold one reference, `Err` three, `Nothing` none. Every
// instance is allocated through object's tp_new, which calls the class's own
// allocator; that allocator refuses any other caller, so no Python-level
// route (object.__new__ after replacing __new__) yields an instance whose
// fields are unset. Instances take part in the cyclic garbage collector only
// when something they hold could close a cycle, and are released
// iteratively, so that dropping a long chain of nested values cannot
// overflow the C stack. Freed instances of Some, Ok and Err are kept in a
// small free list per class and reused by the allocator.
#pragma once

#include "module/layout.hpp"
#include "module/once.hpp"
#include "module/outcome.hpp"
#include "module/types.hpp"

namespace ostrel {

// The fields of the layouts (module/layout.hpp places them).
struct ValueFields {  // Some, Ok
  PyObject* value;
};

struct ErrFields {
  PyObject* error;
  PyObject* notes;  // always a tuple
  PyObject* trace;  // always a tuple
};

namespace detail {
extern FieldsOf<ValueFields> g_value_fields;
extern FieldsOf<ErrFields> g_err_fields;
}  // namespace detail

inline PyObject* value_of(PyObject* self) noexcept { return detail::g_value_fields.in(self)->value; }
inline ErrFields* as_err(PyObject* self) noexcept { return detail::g_err_fields.in(self); }

// What a layout decides about its classes.
struct Allocation {
  int basicsize;
  unsigned int flags;
  destructor dealloc;
  traverseproc traverse;  // null for classes without the GC flag
  allocfunc alloc;        // null to inherit object's
};
Allocation allocation(Cls cls, Layout layout) noexcept;
// Once a class of `layout` is made, before it is used: where its fields sit.
Outcome place_fields(PyTypeObject* type, Layout layout) noexcept;

namespace detail {
extern OnceCell g_empty_tuple;
Outcome allocate(Cls cls) noexcept;
bool may_close_cycle_slow(PyObject* o) noexcept;
}  // namespace detail

// A new reference to the process-wide empty tuple.
Outcome empty_tuple() noexcept;

// Could this object, held by an immutable instance, close a reference cycle?
// Decided in constant time: atomic objects cannot; a tuple or a variant can
// when the collector tracks it (CPython untracks a tuple once it holds only
// atomic objects); any other object of a GC-aware type can.
inline bool may_close_cycle(PyObject* o) noexcept {
  if (kHeaderIsACall && o == detail::g_empty_tuple.peek()) return false;
  PyTypeObject* t = Py_TYPE(o);
  if (t == &PyLong_Type || t == &PyUnicode_Type || o == detail::g_empty_tuple.peek()) return false;
  return detail::may_close_cycle_slow(o);
}

// The construction paths: each makes a new instance of exactly its class,
// without running the class's constructor; the references handed in are
// released on failure.
template <Cls C>
inline Outcome new_value(Ref value) noexcept {
  static_assert(C == Cls::Some || C == Cls::Ok);
  Outcome made = detail::allocate(C);
  if (OSTREL_UNLIKELY(!made.is_value())) return made;
  PyObject* self = made.peek();
  detail::g_value_fields.in(self)->value = value.release();
  if (may_close_cycle(value_of(self))) PyObject_GC_Track(self);
  return made;
}
inline Outcome new_some(Ref value) noexcept { return new_value<Cls::Some>(std::move(value)); }
inline Outcome new_ok(Ref value) noexcept { return new_value<Cls::Ok>(std::move(value)); }
// `notes` and `trace` must be tuples.
inline Outcome new_err(Ref error, Ref notes, Ref trace) noexcept {
  Outcome made = detail::allocate(Cls::Err);
  if (OSTREL_UNLIKELY(!made.is_value())) return made;
  ErrFields* e = as_err(made.peek());
  e->error = error.release();
  e->notes = notes.release();
  e->trace = trace.release();
  if (may_close_cycle(e->error) || may_close_cycle(e->notes) || may_close_cycle(e->trace)) {
    PyObject_GC_Track(made.peek());
  }
  return made;
}
// An Err with empty notes and trace.
inline Outcome new_err(Ref error) noexcept {
  PyObject* empty = detail::g_empty_tuple.peek();
  if (OSTREL_UNLIKELY(empty == nullptr)) {
    Outcome made = empty_tuple();
    if (!made.is_value()) return made;
    empty = made.peek();  // kept alive by the cell
  }
  return new_err(std::move(error), Ref::borrow(empty), Ref::borrow(empty));
}
// A new reference to NOTHING_INSTANCE, the one Nothing, made on first need.
Outcome nothing() noexcept;

// A new tuple: the entries of `old`, then `item`. It is left untracked by the
// collector when `old` was and `item` is a str, so that a chain of notes
// never makes an Err look as if it could close a cycle.
Outcome appended(PyObject* old, Ref item) noexcept;

}  // namespace ostrel
