// Entry adapters: one template per CPython calling convention.
//
// Each adapter binds the interpreter's arguments (where the convention has
// any), runs one operation, and turns its Outcome into what the convention
// expects: a new reference, an int, a hash, or the failure value with the
// exception set. This is the only place where failures reach PyErr_*.
#pragma once

#include "module/binding.hpp"
#include "module/outcome.hpp"

namespace ostrel {

using MethodOp = Outcome (*)(PyObject* self, const Args& args);
using UnaryOp = Outcome (*)(PyObject* self);
using CompareOp = Outcome (*)(PyObject* self, PyObject* other, int op);
using BinaryOp = Outcome (*)(PyObject* left, PyObject* right);
using NewOp = Outcome (*)(PyTypeObject* type, const Args& args);

namespace entry {

inline PyObject* finish(Outcome&& o) noexcept {
  if (OSTREL_LIKELY(o.kind() == Outcome::Kind::Value)) return o.release_value();
  o.restore();
  return nullptr;
}

// METH_FASTCALL | METH_KEYWORDS, for instance methods and class methods alike.
template <MethodOp Op, const Params& P>
PyObject* method(PyObject* self, PyObject* const* args, Py_ssize_t nargs,
                 PyObject* kwnames) noexcept {
  Args bound;
  if (OSTREL_LIKELY(bind_plain<P>(args, nargs, kwnames, bound))) return finish(Op(self, bound));
  Outcome error = Outcome::scalar(0);
  if (OSTREL_UNLIKELY(!bind_fast(P, args, nargs, kwnames, bound, &error))) {
    return finish(std::move(error));
  }
  return finish(Op(self, bound));
}

// METH_NOARGS, and the unary slots tp_repr, tp_str and tp_iter.
template <UnaryOp Op>
PyObject* noargs(PyObject* self, PyObject* /*ignored*/) noexcept {
  return finish(Op(self));
}

template <UnaryOp Op>
PyObject* unary(PyObject* self) noexcept {
  return finish(Op(self));
}

// A property getter; the getter is an instantiation per operation.
template <UnaryOp Op>
PyObject* getter(PyObject* self, void* /*closure*/) noexcept {
  return finish(Op(self));
}

template <NewOp Op, const Params& P>
PyObject* construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  Args bound;
  if (OSTREL_LIKELY(bind_plain_tuple<P>(args, kwargs, bound))) return finish(Op(type, bound));
  Outcome error = Outcome::scalar(0);
  if (OSTREL_UNLIKELY(!bind_tuple(P, args, kwargs, bound, &error))) return finish(std::move(error));
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

// Cast an adapter to the type the method table stores.
template <class F>
inline PyCFunction as_cfunction(F f) noexcept {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(f));
}

}  // namespace ostrel

namespace ostrel {

// Rows of the method and property tables.
template <MethodOp Op, const Params& P>
PyMethodDef method_row(const char* name, const char* doc) noexcept {
  return {name, as_cfunction(&entry::method<Op, P>), METH_FASTCALL | METH_KEYWORDS, doc};
}

template <MethodOp Op, const Params& P>
PyMethodDef class_method_row(const char* name, const char* doc) noexcept {
  return {name, as_cfunction(&entry::method<Op, P>), METH_FASTCALL | METH_KEYWORDS | METH_CLASS,
          doc};
}

template <UnaryOp Op>
PyMethodDef noargs_row(const char* name, const char* doc) noexcept {
  return {name, as_cfunction(&entry::noargs<Op>), METH_NOARGS, doc};
}

template <UnaryOp Op>
PyGetSetDef property_row(const char* name) noexcept {
  return {name, &entry::getter<Op>, nullptr, nullptr, nullptr};
}

}  // namespace ostrel
