// Ok: the success variant of Result. It holds `value`.
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/text.hpp"
#include "module/unwrap.hpp"
#include "module/value_variant.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Ok", D, B>;

constexpr const char kTruthMessage[] = "Result has no truth value; use is_ok/is_err or match";

// ---- construction, properties and protocol -------------------------------

Outcome ok_new(PyTypeObject*, const Args& a) noexcept { return new_ok(Ref::borrow(a[0])); }
// `danger_err` and `unwrap_err()`: there is no error to take.
Outcome ok_no_error(PyObject* self) noexcept { return raise_unwrap(Cls::Result, self); }
Outcome ok_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome ok_repr(PyObject* self) noexcept { return wrapped_form("Ok(", value_of(self), true); }
Outcome ok_str(PyObject* self) noexcept { return wrapped_form("Ok(", value_of(self), false); }

// ---- combinators ---------------------------------------------------------

Outcome ok_is_ok_and(PyObject* self, const Args& a) noexcept { return call_truth(a[0], value_of(self)); }
Outcome ok_expect_err(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Cls::Result, self, a.text_of(0));
}
Outcome ok_to_option(PyObject* self) noexcept { return new_some(Ref::borrow(value_of(self))); }
Outcome ok_swap_ok(PyObject* self, const Args&) noexcept { return raise_unwrap(Cls::Result, self); }

// ---- tables ----------------------------------------------------------------
// The docstring bodies below are part of the published interface: kept word
// for word.

PyMethodDef kOkMethods[] = {
    method_row<ok_is_ok_and, S<"is_ok_and($self, pred)">>(),
    method_row<op_false_args, S<"is_err_and($self, _pred)">>(),
    method_row<value_variant::get_args,
               S<"unwrap($self, *, err=None, note=None)",
                 "BIND: unwrap(self, *, err=None, note=None) -> T -- T-0028 keyword sugar.\n*err*/*note* are "
                 "always ignored on `Ok`; the bare path (both None)\ntakes the same single-field-read branch "
                 "as before.">>(),
    method_row<ok_no_error, S<"unwrap_err($self)">>(),
    method_row<value_variant::get_args, S<"unwrap_or($self, _default)">>(),
    method_row<value_variant::get_args, S<"unwrap_or_else($self, _fn)">>(),
    method_row<value_variant::get_args, S<"expect($self, _msg: str)">>(),
    method_row<ok_expect_err, S<"expect_err($self, msg: str)">>(),
    method_row<value_variant::map<Cls::Ok>, S<"map($self, fn_)">>(),
    method_row<op_self_args, S<"map_err($self, _fn)">>(),
    method_row<value_variant::apply, S<"and_then($self, fn_)">>(),
    method_row<op_self_args, S<"or_else($self, _fn)">>(),
    method_row<value_variant::inspect, S<"inspect($self, fn_)">>(),
    method_row<op_self_args, S<"inspect_err($self, _fn)">>(),
    method_row<value_variant::apply, S<"fold($self, on_ok, _on_err)">>(),
    method_row<ok_to_option, S<"to_option($self)">>(),
    method_row<op_self_args, S<"note($self, _msg: str)">>(),
    method_row<op_self_args,
               S<"wrap_err($self, _err)", "BIND: wrap_err(self, err) -> Result[T, F] -- no-op on Ok, T-0028.">>(),
    method_row<op_self_args, S<"traced($self, _site: str)",
                               "BIND: traced(self, site: str) -> Result[T, E] -- no-op on Ok, T-0028.">>(),
    method_row<op_self_args, S<"swap_err($self, _err)">>(),
    method_row<ok_swap_ok, S<"swap_ok($self, _ok)">>(),
    method_row<value_variant::reduce, S<"__reduce__($self)">>(),
    method_row<op_self, S<"__copy__($self)">>(),
    method_row<value_variant::deepcopy<Cls::Ok>, S<"__deepcopy__($self, memo)">>(),
    kEndOfMethods,
};

PyGetSetDef kOkProperties[] = {
    property_row<value_variant::get>("value"),
    property_row<op_true>("is_ok"),
    property_row<op_false>("is_err"),
    property_row<value_variant::get>("ok"),
    property_row<op_none>("err"),
    property_row<value_variant::get>("danger_ok"),
    property_row<ok_no_error>("danger_err"),
    property_row<op_empty_tuple>("notes"),
    property_row<op_empty_tuple>("trace"),
    kEndOfProperties,
};

using Constructor = S<"Ok(value)",
                      "BIND: class Ok(Result[T_co, E_co])\n\nWHY: success variant; holds the payload directly (no "
                      "boxing beyond the\n`Py<PyAny>` GC handle already required) so `unwrap`/`danger_ok` are a\n"
                      "single field read with no Python-level attribute lookup.">;

const PyType_Slot kOkSlots[] = {
    {Py_tp_new, as_slot(&entry::construct<ok_new, Constructor::params>)},
    {Py_tp_iter, as_slot(&entry::unary<value_variant::iter>)},
    {Py_nb_bool, as_slot(&entry::truth<ok_bool>)},
    {Py_tp_hash, as_slot(&entry::hash<value_variant::hash>)},
    {Py_tp_repr, as_slot(&entry::unary<ok_repr>)},
    {Py_tp_str, as_slot(&entry::unary<ok_str>)},
    {Py_nb_rshift, as_slot(&entry::binary<value_variant::rshift<Cls::Ok>>)},
    {Py_nb_or, as_slot(&entry::binary<value_variant::or_op<Cls::Ok>>)},
    {Py_tp_richcompare, as_slot(&entry::compare<value_variant::compare<Cls::Ok>>)},
};

Outcome ok_match_args() { return Outcome::from(Py_BuildValue("(s)", "value")); }
const ClassAttr kOkAttrs[] = {{"__match_args__", ok_match_args}};

}  // namespace

const ClassDef kOkClass = {
    .cls = Cls::Ok,
    .name = "Ok",
    .qualified_name = "ostrel.result.Ok",
    .doc = Constructor::doc.data(),
    .base = Cls::Result,
    .layout = Layout::Value,
    .subclassable = false,
    .slots = own_slots(kOkSlots),
    .methods = kOkMethods,
    .properties = kOkProperties,
    .attrs = class_attrs(kOkAttrs),
};

}  // namespace ostrel
