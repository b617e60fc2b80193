// Nothing: the absent variant of Option. One instance per process,
// NOTHING_INSTANCE (module/storage.hpp), is shared by every operation that
// yields an absent value.
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/unwrap.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Nothing", D, B>;

constexpr Py_hash_t kNothingHash = 2206609067086327257LL;  // 0x1E9F734161D62DD9
constexpr const char kTruthMessage[] = "Option has no truth value; use is_some/is_nothing or match";

Outcome nothing_new(PyTypeObject*, const Args&) noexcept { return nothing(); }

Outcome nothing_danger_some(PyObject* self) noexcept { return raise_unwrap(Cls::Option, self); }
Outcome nothing_iter(PyObject*) noexcept { return iterate(nullptr); }
Outcome nothing_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome nothing_hash(PyObject*) noexcept { return Outcome::scalar(kNothingHash); }
Outcome nothing_text(PyObject*) noexcept { return Outcome::from(PyUnicode_FromString("Nothing")); }
Outcome nothing_compare(PyObject*, PyObject* other, int op) noexcept {
  if ((op != Py_EQ && op != Py_NE) || !is_a(other, Cls::Nothing)) return Outcome::not_implemented();
  return Outcome::boolean(op == Py_EQ);
}
// `nothing | f` and `nothing >> f`: the receiver; f is not called.
Outcome nothing_operator(PyObject* left, PyObject*) noexcept {
  if (!is_a(left, Cls::Nothing)) return Outcome::not_implemented();
  return Outcome::same(left);
}

// Bare: raise at once. With err: the container is self.ok_or(err), then
// .note(note), through ordinary attribute lookups. A note needs an err.
Outcome nothing_unwrap(PyObject* self, const Args& a) noexcept {
  PyObject* err = a[0];
  PyObject* note = a[1];
  if (err == nullptr) {
    if (note != nullptr) return Outcome::raise(PyExc_TypeError, "note requires err on Option.unwrap");
    return raise_unwrap(Cls::Option, self);
  }
  Outcome container = call_method(self, Name::ok_or, err);
  if (!container.is_value()) return container;
  if (note != nullptr) {
    Outcome noted = call_method(container.peek(), Name::note, note);
    if (!noted.is_value()) return noted;
    return raise_unwrap(Cls::Option, noted.peek());
  }
  return raise_unwrap(Cls::Option, container.peek());
}

Outcome nothing_expect(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Cls::Option, self, a.text_of(0));
}
Outcome nothing_unwrap_or(PyObject*, const Args& a) noexcept { return Outcome::same(a[0]); }
Outcome nothing_call(PyObject*, const Args& a) noexcept { return call(a[0], nullptr); }
Outcome nothing_ok_or(PyObject*, const Args& a) noexcept { return new_err(Ref::borrow(a[0])); }
Outcome nothing_ok_or_else(PyObject*, const Args& a) noexcept {
  Outcome made = call(a[0], nullptr);
  if (!made.is_value()) return made;
  return new_err(made.take());
}

Outcome nothing_reduce(PyObject* self) noexcept {
  Outcome args = empty_tuple();
  if (!args.is_value()) return args;
  PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), args.peek());
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}

// ---- tables ----------------------------------------------------------------
// The docstring bodies below are part of the published interface: kept word
// for word.

PyMethodDef kNothingMethods[] = {
    method_row<nothing_unwrap,
               S<"unwrap($self, *, err=None, note=None)",
                 "BIND: unwrap(self, *, err=None, note=None) -> T -- T-0028 keyword sugar.\nWith `err` given, "
                 "propagates as `Err(err)` (via `ok_or`, then\n`.note(note)` if given). `note` without `err` "
                 "raises `TypeError`:\n`Nothing` has no notes of its own to attach one to.">>(),
    method_row<nothing_unwrap_or, S<"unwrap_or($self, default)">>(),
    method_row<nothing_call, S<"unwrap_or_else($self, fn_)">>(),
    method_row<nothing_expect, S<"expect($self, msg: str)">>(),
    method_row<op_self_args, S<"inspect($self, _fn)">>(),
    method_row<op_self_args, S<"map($self, _fn)">>(),
    method_row<op_self_args, S<"and_then($self, _fn)">>(),
    method_row<nothing_call, S<"or_else($self, fn_)">>(),
    method_row<op_self_args, S<"filter($self, _pred)">>(),
    method_row<nothing_ok_or, S<"ok_or($self, err)">>(),
    method_row<nothing_ok_or_else, S<"ok_or_else($self, fn_)">>(),
    method_row<nothing_reduce, S<"__reduce__($self)">>(),
    method_row<op_self, S<"__copy__($self)">>(),
    method_row<op_self_args, S<"__deepcopy__($self, _memo)">>(),
    kEndOfMethods,
};

PyGetSetDef kNothingProperties[] = {
    property_row<op_false>("is_some"),
    property_row<op_true>("is_nothing"),
    property_row<op_none>("some"),
    property_row<nothing_danger_some>("danger_some"),
    kEndOfProperties,
};

using Constructor = S<"Nothing(*_args, **_kwargs)",
                      "BIND: class Nothing(Option[T_co])\n\nWHY: absent variant; a single cached instance is shared "
                      "process-wide\n(`NOTHING_INSTANCE`, mirroring `Nothing._INSTANCE`) so `Nothing() is\nNothing()` "
                      "holds under the native backend too.">;

const PyType_Slot kNothingSlots[] = {
    {Py_tp_new, as_slot(&entry::construct<nothing_new, Constructor::params>)},
    {Py_tp_iter, as_slot(&entry::unary<nothing_iter>)},
    {Py_nb_bool, as_slot(&entry::truth<nothing_bool>)},
    {Py_tp_hash, as_slot(&entry::hash<nothing_hash>)},
    {Py_tp_repr, as_slot(&entry::unary<nothing_text>)},
    {Py_tp_str, as_slot(&entry::unary<nothing_text>)},
    {Py_nb_rshift, as_slot(&entry::binary<nothing_operator>)},
    {Py_nb_or, as_slot(&entry::binary<nothing_operator>)},
    {Py_tp_richcompare, as_slot(&entry::compare<nothing_compare>)},
};

Outcome nothing_match_args() { return Outcome::from(PyTuple_New(0)); }
const ClassAttr kNothingAttrs[] = {{"__match_args__", nothing_match_args}};

}  // namespace

const ClassDef kNothingClass = {
    .cls = Cls::Nothing,
    .name = "Nothing",
    .qualified_name = "ostrel.option.Nothing",
    .doc = Constructor::doc.data(),
    .base = Cls::Option,
    .layout = Layout::Singleton,
    .subclassable = false,
    .slots = own_slots(kNothingSlots),
    .methods = kNothingMethods,
    .properties = kNothingProperties,
    .attrs = class_attrs(kNothingAttrs),
};

}  // namespace ostrel
