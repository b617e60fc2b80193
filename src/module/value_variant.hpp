// Operations shared by Some and Ok, the two variants that hold one `value`
// and share its layout. Each is a template over the variant's class, so the
// entry adapters still compile every operation into their own bodies.
#pragma once

#include "module/storage.hpp"
#include "module/text.hpp"
#include "module/variant.hpp"

namespace ostrel::value_variant {

inline Outcome get(PyObject* self) noexcept { return Outcome::same(value_of(self)); }
inline Outcome get_args(PyObject* self, const Args&) noexcept { return get(self); }
inline Outcome iter(PyObject* self) noexcept { return iterate(value_of(self)); }
inline Outcome hash(PyObject* self) noexcept { return hash_tagged(0, value_of(self)); }

template <Cls C>
Outcome compare(PyObject* self, PyObject* other, int op) noexcept {
  return compare_payloads(value_of(self), is_a(other, C) ? value_of(other) : nullptr, op);
}

// A new instance of the same variant holding f(value): `map` and `|`.
template <Cls C>
Outcome mapped(PyObject* self, PyObject* f) noexcept {
  PyObject* result = call_one(f, value_of(self));
  if (result == nullptr) return Outcome::capture();
  return new_value<C>(Ref::steal(result));
}
template <Cls C>
Outcome map(PyObject* self, const Args& a) noexcept {
  return mapped<C>(self, a[0]);
}
// `v | f`; a foreign left operand is not ours to handle.
template <Cls C>
Outcome or_op(PyObject* left, PyObject* f) noexcept {
  if (!is_a(left, C)) return Outcome::not_implemented();
  return mapped<C>(left, f);
}
// `v >> f`: f(value) as returned; NotImplemented stays NotImplemented.
template <Cls C>
Outcome rshift(PyObject* left, PyObject* f) noexcept {
  if (!is_a(left, C)) return Outcome::not_implemented();
  return call(f, value_of(left));
}

// f(value) as returned: `and_then`, and `fold` on Ok.
inline Outcome apply(PyObject* self, const Args& a) noexcept { return call(a[0], value_of(self)); }
// Call f(value) for its effect and return the receiver: `inspect`.
inline Outcome inspect(PyObject* self, const Args& a) noexcept {
  Outcome r = call(a[0], value_of(self));
  if (!r.is_value()) return r;
  return Outcome::same(self);
}

// (type(self), (value,)): unpickling calls the class with the value.
inline Outcome reduce(PyObject* self) noexcept {
  Ref args = Ref::steal(PyTuple_Pack(1, value_of(self)));
  if (!args) return Outcome::internal_null();
  PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), args.get());
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}

template <Cls C>
Outcome deepcopy(PyObject* self, const Args& a) noexcept {
  return deepcopy_variant(self, value_of(self), a[0],
                          [](PyObject*, Ref copied) { return new_value<C>(std::move(copied)); });
}

}  // namespace ostrel::value_variant
