// Operations shared by the variants of both families: constant properties,
// iteration, hashing and equality of a tagged payload, calls into Python,
// deep copies and generic subscription.
#pragma once

#include "module/binding.hpp"
#include "module/names.hpp"
#include "module/outcome.hpp"
#include "module/types.hpp"

namespace ostrel {

// Properties and methods that do not look at the receiver's fields. They are
// inline so that each entry adapter compiles them into its own body.
inline Outcome op_true(PyObject*) noexcept { return Outcome::same(Py_True); }
inline Outcome op_false(PyObject*) noexcept { return Outcome::same(Py_False); }
inline Outcome op_none(PyObject*) noexcept { return Outcome::same(Py_None); }
Outcome op_empty_tuple(PyObject* self) noexcept;
// __copy__, and every method that returns its receiver.
inline Outcome op_self(PyObject* self) noexcept { return Outcome::same(self); }
inline Outcome op_self_args(PyObject* self, const Args&) noexcept { return Outcome::same(self); }
inline Outcome op_false_args(PyObject*, const Args&) noexcept { return Outcome::same(Py_False); }

// An iterator over a new list: [payload], or [] when payload is null.
Outcome iterate(PyObject* payload) noexcept;

// hash((tag, payload)), computed without building the tuple where that gives
// the interpreter's own answer; -1 becomes -2.
Outcome hash_tagged(long tag, PyObject* payload) noexcept;
// Checked once at start-up against real tuples.
void check_pair_hash() noexcept;

// == and != of two payloads, with no identity shortcut; `theirs` null means
// the other operand is not of the same variant. Orderings are not supported.
// Payloads that are ints, strs or floats cannot bring the comparison back into
// the module, so they skip the recursion guard.
Outcome compare_payloads_guarded(PyObject* mine, PyObject* theirs, int op) noexcept;
inline Outcome compare_payloads(PyObject* mine, PyObject* theirs, int op) noexcept {
  if (OSTREL_UNLIKELY((op != Py_EQ && op != Py_NE) || theirs == nullptr)) return Outcome::not_implemented();
  auto leaf = [](PyObject* o) {
    PyTypeObject* t = Py_TYPE(o);
    return t == &PyLong_Type || t == &PyUnicode_Type || t == &PyFloat_Type;
  };
  if (OSTREL_UNLIKELY(!leaf(mine) || !leaf(theirs))) return compare_payloads_guarded(mine, theirs, op);
  PyObject* r = PyObject_RichCompare(mine, theirs, Py_EQ);
  if (OSTREL_UNLIKELY(r == nullptr)) return Outcome::capture();
  const int truth = r == Py_True ? 1 : r == Py_False ? 0 : PyObject_IsTrue(r);
  if (kCountConstants || (r != Py_True && r != Py_False)) Py_DECREF(r);
  if (OSTREL_UNLIKELY(truth < 0)) return Outcome::capture();
  return Outcome::boolean((truth != 0) == (op == Py_EQ));
}

// fn(arg), or fn() when arg is null: positional only, result unchecked.
inline Outcome call(PyObject* fn, PyObject* arg) noexcept {
  if (arg == nullptr) return Outcome::from(PyObject_CallNoArgs(fn));
  return Outcome::from(call_one(fn, arg));
}
// obj.<name>(arg), by ordinary attribute lookup.
Outcome call_method(PyObject* obj, Name name, PyObject* arg) noexcept;
// The truth value of fn(arg) as True or False.
Outcome call_truth(PyObject* fn, PyObject* arg) noexcept;

// copy.deepcopy(payload, memo), then `rebuild` of the copy: the deep copy of
// a variant. When copying the payload already copied the receiver itself
// (the payload refers back to it), that copy, found in `memo`, is the result,
// so that the copied payload and the copy agree.
Outcome deepcopy_variant(PyObject* self, PyObject* payload, PyObject* memo,
                         Outcome (*rebuild)(PyObject* self, Ref copied)) noexcept;

// types.GenericAlias(cls, args); `family` selects the cache.
Outcome class_getitem(Cls family, PyObject* cls, PyObject* args) noexcept;

// The truth-value refusal of one family.
inline Outcome refuse_truth(const char* message) noexcept { return Outcome::raise(PyExc_TypeError, message); }

}  // namespace ostrel
