// Entry adapters: one template per CPython calling convention, and the rows
// of the method and property tables that name them.
//
// Each adapter binds the interpreter's arguments (where the convention has
// any), runs one operation, and turns its Outcome into what the convention
// expects: a new reference, an int, a hash, or the failure value with the
// exception set. This is the only place where failures reach the
// interpreter's error indicator.
#pragma once

#include "module/binding.hpp"
#include "module/outcome.hpp"
#include "module/signature.hpp"

#include <type_traits>

namespace ostrel {

using MethodOp = Outcome (*)(PyObject* self, const Args& args);
using UnaryOp = Outcome (*)(PyObject* self);
using CompareOp = Outcome (*)(PyObject* self, PyObject* other, int op);
using BinaryOp = Outcome (*)(PyObject* left, PyObject* right);
using NewOp = Outcome (*)(PyTypeObject* type, const Args& args);

namespace entry {

OSTREL_ALWAYS_INLINE PyObject* finish(Outcome&& o) noexcept {
  if (OSTREL_LIKELY(o.kind() == Outcome::Kind::Value)) return o.release_value();
  o.restore();
  return nullptr;
}

// METH_FASTCALL | METH_KEYWORDS, for instance methods and class methods alike.
template <MethodOp Op, const Params& P>
PyObject* method(PyObject* self, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames) noexcept {
  Args bound;
  if (OSTREL_LIKELY(bind_plain<P>(args, nargs, kwnames, bound))) return finish(Op(self, bound));
  Outcome binding = bind_fast(P, args, nargs, kwnames, bound);
  if (OSTREL_UNLIKELY(!binding.is_value())) return finish(std::move(binding));
  return finish(Op(self, bound));
}

// METH_NOARGS.
template <UnaryOp Op>
PyObject* noargs(PyObject* self, PyObject* /*ignored*/) noexcept {
  return finish(Op(self));
}

// tp_repr, tp_str and tp_iter.
template <UnaryOp Op>
PyObject* unary(PyObject* self) noexcept {
  return finish(Op(self));
}

// A property getter; one instantiation per operation.
template <UnaryOp Op>
PyObject* getter(PyObject* self, void* /*closure*/) noexcept {
  return finish(Op(self));
}

template <NewOp Op, const Params& P>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  Args bound;
  if (OSTREL_LIKELY(bind_plain_tuple<P>(args, kwargs, bound))) return finish(Op(type, bound));
  Outcome binding = bind_tuple(P, args, kwargs, bound);
  if (OSTREL_UNLIKELY(!binding.is_value())) return finish(std::move(binding));
  return finish(Op(type, bound));
}

template <UnaryOp Op>
Py_hash_t hash(PyObject* self) noexcept {
  Outcome o = Op(self);
  if (OSTREL_LIKELY(o.kind() == Outcome::Kind::Scalar)) return o.scalar_value();
  o.restore();
  return -1;
}

template <UnaryOp Op>
int truth(PyObject* self) noexcept {
  Outcome o = Op(self);
  if (o.kind() == Outcome::Kind::Scalar) return o.scalar_value() != 0;
  o.restore();
  return -1;
}

template <CompareOp Op>
PyObject* compare(PyObject* self, PyObject* other, int op) noexcept {
  return finish(Op(self, other, op));
}

template <BinaryOp Op>
PyObject* binary(PyObject* left, PyObject* right) noexcept {
  return finish(Op(left, right));
}

}  // namespace entry

// Cast an adapter to the type the tables store.
template <class F>
inline void* as_slot(F f) noexcept {
  return reinterpret_cast<void*>(f);
}
template <class F>
inline PyCFunction as_cfunction(F f) noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

// A row of a method table, everything taken from the method's Signature: the
// name, the docstring and, for methods with parameters, the binder's table.
// A method without parameters is METH_NOARGS; `$cls` makes a class method.
template <auto Op, class S>
PyMethodDef method_row() noexcept {
  if constexpr (std::is_invocable_r_v<Outcome, decltype(Op), PyObject*>) {
    static_assert(S::params.count() == 0 && !S::decl.var_positional && !S::decl.var_keyword,
                  "an operation without arguments needs a declaration without parameters");
    return {S::name(), as_cfunction(&entry::noargs<Op>), METH_NOARGS, S::doc.data()};
  } else {
    static_assert(std::is_invocable_r_v<Outcome, decltype(Op), PyObject*, const Args&>);
    constexpr int flags = METH_FASTCALL | METH_KEYWORDS | (S::decl.class_method ? METH_CLASS : 0);
    return {S::name(), as_cfunction(&entry::method<Op, S::params>), flags, S::doc.data()};
  }
}

inline constexpr PyMethodDef kEndOfMethods = {nullptr, nullptr, 0, nullptr};

template <UnaryOp Op>
PyGetSetDef property_row(const char* name) noexcept {
  return {name, &entry::getter<Op>, nullptr, nullptr, nullptr};
}

inline constexpr PyGetSetDef kEndOfProperties = {nullptr, nullptr, nullptr, nullptr, nullptr};

}  // namespace ostrel
