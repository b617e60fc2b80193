// Operations shared by the variants of both families: constant properties,
// iteration, hashing and equality of a tagged payload, calls into Python,
// deep copies and generic subscription.
#pragma once

#include "module/binding.hpp"
#include "module/companion.hpp"
#include "module/outcome.hpp"

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
Outcome compare_payloads(PyObject* mine, PyObject* theirs, int op) noexcept;

// fn(arg), or fn() when arg is null: positional only, result unchecked.
inline Outcome call(PyObject* fn, PyObject* arg) noexcept {
  if (arg == nullptr) return Outcome::from(PyObject_CallNoArgs(fn));
  return Outcome::from(PyObject_CallFunctionObjArgs(fn, arg, nullptr));
}
// obj.<name>(arg), by ordinary attribute lookup.
Outcome call_method(PyObject* obj, PyObject* name, PyObject* arg) noexcept;
// The truth value of fn(arg) as True or False.
Outcome call_truth(PyObject* fn, PyObject* arg) noexcept;

// copy.deepcopy(payload, memo).
Outcome deepcopy_payload(PyObject* payload, PyObject* memo) noexcept;

// types.GenericAlias(cls, args).
Outcome class_getitem(Family family, PyObject* cls, PyObject* args) noexcept;

// The truth-value refusal of one family.
Outcome refuse_truth(const char* message) noexcept;

}  // namespace ostrel
