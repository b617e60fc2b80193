// Some: the present variant of Option. It holds `value`.
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/text.hpp"
#include "module/value_variant.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Some", D, B>;

constexpr const char kTruthMessage[] = "Option has no truth value; use is_some/is_nothing or match";

Outcome some_new(PyTypeObject*, const Args& a) noexcept { return new_some(Ref::borrow(a[0])); }
Outcome some_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome some_repr(PyObject* self) noexcept { return wrapped_form("Some(", value_of(self), true); }
Outcome some_str(PyObject* self) noexcept { return wrapped_form("Some(", value_of(self), false); }

// A new Some holding the same value when pred(value) is true, else Nothing.
Outcome some_filter(PyObject* self, const Args& a) noexcept {
  Ref verdict = Ref::steal(call_one(a[0], value_of(self)));
  const int keep = verdict ? PyObject_IsTrue(verdict.get()) : -1;
  if (keep < 0) return Outcome::capture();
  if (keep != 0) return new_some(Ref::borrow(value_of(self)));
  return nothing();
}
Outcome some_ok_or(PyObject* self, const Args&) noexcept { return new_ok(Ref::borrow(value_of(self))); }

// ---- tables ----------------------------------------------------------------
// The docstring bodies below are part of the published interface: kept word
// for word.

PyMethodDef kSomeMethods[] = {
    method_row<value_variant::get_args,
               S<"unwrap($self, *, err=None, note=None)",
                 "BIND: unwrap(self, *, err=None, note=None) -> T -- T-0028 keyword sugar,\nalways ignored on "
                 "`Some`.">>(),
    method_row<value_variant::get_args, S<"unwrap_or($self, _default)">>(),
    method_row<value_variant::get_args, S<"unwrap_or_else($self, _fn)">>(),
    method_row<value_variant::get_args, S<"expect($self, _msg: str)">>(),
    method_row<value_variant::map<Cls::Some>, S<"map($self, fn_)">>(),
    method_row<value_variant::apply, S<"and_then($self, fn_)">>(),
    method_row<op_self_args, S<"or_else($self, _fn)">>(),
    method_row<value_variant::inspect, S<"inspect($self, fn_)">>(),
    method_row<some_filter, S<"filter($self, pred)">>(),
    method_row<some_ok_or, S<"ok_or($self, _err)">>(),
    method_row<some_ok_or, S<"ok_or_else($self, _fn)">>(),
    method_row<value_variant::reduce, S<"__reduce__($self)">>(),
    method_row<op_self, S<"__copy__($self)">>(),
    method_row<value_variant::deepcopy<Cls::Some>, S<"__deepcopy__($self, memo)">>(),
    kEndOfMethods,
};

PyGetSetDef kSomeProperties[] = {
    property_row<value_variant::get>("value"),
    property_row<op_true>("is_some"),
    property_row<op_false>("is_nothing"),
    property_row<value_variant::get>("some"),
    property_row<value_variant::get>("danger_some"),
    kEndOfProperties,
};

using Constructor = S<"Some(value)",
                      "BIND: class Some(Option[T_co])\n\nWHY: present variant; holds the payload directly for a "
                      "single-field\nread on `unwrap`/`danger_some`.">;

const PyType_Slot kSomeSlots[] = {
    {Py_tp_new, as_slot(&entry::construct<some_new, Constructor::params>)},
    {Py_tp_iter, as_slot(&entry::unary<value_variant::iter>)},
    {Py_nb_bool, as_slot(&entry::truth<some_bool>)},
    {Py_tp_hash, as_slot(&entry::hash<value_variant::hash>)},
    {Py_tp_repr, as_slot(&entry::unary<some_repr>)},
    {Py_tp_str, as_slot(&entry::unary<some_str>)},
    {Py_nb_rshift, as_slot(&entry::binary<value_variant::rshift<Cls::Some>>)},
    {Py_nb_or, as_slot(&entry::binary<value_variant::or_op<Cls::Some>>)},
    {Py_tp_richcompare, as_slot(&entry::compare<value_variant::compare<Cls::Some>>)},
};

Outcome some_match_args() { return Outcome::from(Py_BuildValue("(s)", "value")); }
const ClassAttr kSomeAttrs[] = {{"__match_args__", some_match_args}};

}  // namespace

const ClassDef kSomeClass = {
    .cls = Cls::Some,
    .name = "Some",
    .qualified_name = "ostrel.option.Some",
    .doc = Constructor::doc.data(),
    .base = Cls::Option,
    .layout = Layout::Value,
    .subclassable = false,
    .slots = own_slots(kSomeSlots),
    .methods = kSomeMethods,
    .properties = kSomeProperties,
    .attrs = class_attrs(kSomeAttrs),
};

}  // namespace ostrel
