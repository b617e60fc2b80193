// Ok: the success variant of Result. It holds `value`.
#include "module/entry.hpp"
#include "module/names.hpp"
#include "module/text.hpp"
#include "module/variant.hpp"
#include "option/option.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

constexpr const char kTruthMessage[] = "Result has no truth value; use is_ok/is_err or match";

PyObject* value(PyObject* self) { return value_of(self); }

// ---- construction, properties and protocol -------------------------------

Outcome ok_new(PyTypeObject*, const Args& a) noexcept { return new_ok(Ref::borrow(a[0])); }

Outcome ok_value(PyObject* self) noexcept { return Outcome::same(value(self)); }
Outcome ok_danger_err(PyObject* self) noexcept { return raise_unwrap(Family::Result, self); }

Outcome ok_iter(PyObject* self) noexcept { return iterate(value(self)); }
Outcome ok_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome ok_hash(PyObject* self) noexcept { return hash_tagged(0, value(self)); }
Outcome ok_repr(PyObject* self) noexcept { return wrapped_form("Ok(", value(self), true); }
Outcome ok_str(PyObject* self) noexcept { return wrapped_form("Ok(", value(self), false); }
Outcome ok_compare(PyObject* self, PyObject* other, int op) noexcept {
  return compare_payloads(value(self), is_a(other, Cls::Ok) ? value(other) : nullptr, op);
}

// A new Ok holding f(value): `map` and `|`.
Outcome mapped(PyObject* self, PyObject* f) noexcept {
  PyObject* result = PyObject_CallFunctionObjArgs(f, value(self), nullptr);
  if (result == nullptr) return Outcome::capture();
  return new_ok(Ref::steal(result));
}

// `ok | f`: a new Ok holding f(value).
Outcome ok_or_op(PyObject* left, PyObject* f) noexcept {
  if (!is_a(left, Cls::Ok)) return Outcome::not_implemented();
  return mapped(left, f);
}
// `ok >> f`: f(value) as returned; NotImplemented stays NotImplemented.
Outcome ok_rshift(PyObject* left, PyObject* f) noexcept {
  if (!is_a(left, Cls::Ok)) return Outcome::not_implemented();
  return call(f, value(left));
}

// ---- combinators ---------------------------------------------------------

Outcome ok_is_ok_and(PyObject* self, const Args& a) noexcept { return call_truth(a[0], value(self)); }
Outcome ok_unwrap(PyObject* self, const Args&) noexcept { return ok_value(self); }
Outcome ok_unwrap_err(PyObject* self) noexcept { return raise_unwrap(Family::Result, self); }
Outcome ok_payload(PyObject* self, const Args&) noexcept { return ok_value(self); }
Outcome ok_expect_err(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Family::Result, self, a.text_of(0));
}
Outcome ok_map(PyObject* self, const Args& a) noexcept { return mapped(self, a[0]); }
Outcome ok_and_then(PyObject* self, const Args& a) noexcept { return call(a[0], value(self)); }
Outcome ok_inspect(PyObject* self, const Args& a) noexcept {
  Outcome r = call(a[0], value(self));
  if (!r.is_value()) return r;
  return Outcome::same(self);
}
Outcome ok_fold(PyObject* self, const Args& a) noexcept { return call(a[0], value(self)); }
Outcome ok_to_option(PyObject* self) noexcept { return new_some(Ref::borrow(value(self))); }
Outcome ok_swap_ok(PyObject* self, const Args&) noexcept { return raise_unwrap(Family::Result, self); }

// ---- copying and pickling ------------------------------------------------

Outcome ok_reduce(PyObject* self) noexcept {
  PyObject* args = PyTuple_Pack(1, value(self));
  if (args == nullptr) return Outcome::internal_null();
  Ref owned_args = Ref::steal(args);
  PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), args);
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}
Outcome ok_deepcopy(PyObject* self, const Args& a) noexcept {
  Outcome copy = deepcopy_payload(value(self), a[0]);
  if (!copy.is_value()) return copy;
  return new_ok(copy.take());
}

// ---- tables ----------------------------------------------------------------

constexpr Param kValue[] = {{"value"}};
constexpr Param kPred[] = {{"pred"}};
constexpr Param kPredIgnored[] = {{"_pred"}};
constexpr Param kDefaultIgnored[] = {{"_default"}};
constexpr Param kFn[] = {{"fn_"}};
constexpr Param kFnIgnored[] = {{"_fn"}};
constexpr Param kMsg[] = {{"msg", Conv::Text}};
constexpr Param kMsgIgnored[] = {{"_msg", Conv::Text}};
constexpr Param kSiteIgnored[] = {{"_site", Conv::Text}};
constexpr Param kErrIgnored[] = {{"_err"}};
constexpr Param kOkIgnored[] = {{"_ok"}};
constexpr Param kMemo[] = {{"memo"}};
constexpr Param kFold[] = {{"on_ok"}, {"_on_err"}};
constexpr Param kUnwrapKw[] = {{"err", Conv::Any, false}, {"note", Conv::Any, false}};

constexpr Params kNew{"Ok.__new__()", kValue, 1, 1};
constexpr Params kIsOkAnd{"Ok.is_ok_and()", kPred, 1, 1};
constexpr Params kIsErrAnd{"Ok.is_err_and()", kPredIgnored, 1, 1};
constexpr Params kUnwrap{"Ok.unwrap()", nullptr, 0, 0, kUnwrapKw, 2};
constexpr Params kUnwrapOr{"Ok.unwrap_or()", kDefaultIgnored, 1, 1};
constexpr Params kUnwrapOrElse{"Ok.unwrap_or_else()", kFnIgnored, 1, 1};
constexpr Params kExpect{"Ok.expect()", kMsgIgnored, 1, 1};
constexpr Params kExpectErr{"Ok.expect_err()", kMsg, 1, 1};
constexpr Params kMap{"Ok.map()", kFn, 1, 1};
constexpr Params kMapErr{"Ok.map_err()", kFnIgnored, 1, 1};
constexpr Params kAndThen{"Ok.and_then()", kFn, 1, 1};
constexpr Params kOrElse{"Ok.or_else()", kFnIgnored, 1, 1};
constexpr Params kInspect{"Ok.inspect()", kFn, 1, 1};
constexpr Params kInspectErr{"Ok.inspect_err()", kFnIgnored, 1, 1};
constexpr Params kFoldParams{"Ok.fold()", kFold, 2, 2};
constexpr Params kNote{"Ok.note()", kMsgIgnored, 1, 1};
constexpr Params kWrapErr{"Ok.wrap_err()", kErrIgnored, 1, 1};
constexpr Params kTraced{"Ok.traced()", kSiteIgnored, 1, 1};
constexpr Params kSwapErr{"Ok.swap_err()", kErrIgnored, 1, 1};
constexpr Params kSwapOk{"Ok.swap_ok()", kOkIgnored, 1, 1};
constexpr Params kDeepcopy{"Ok.__deepcopy__()", kMemo, 1, 1};

constexpr const char kUnwrapDoc[] =
    "unwrap($self, *, err=None, note=None)\n--\n\nBIND: unwrap(self, *, err=None, note=None) -> T -- "
    "T-0028 keyword sugar.\n*err*/*note* are always ignored on `Ok`; the bare path (both None)\ntakes "
    "the same single-field-read branch as before.";
constexpr const char kWrapErrDoc[] =
    "wrap_err($self, _err)\n--\n\nBIND: wrap_err(self, err) -> Result[T, F] -- no-op on Ok, T-0028.";
constexpr const char kTracedDoc[] =
    "traced($self, _site)\n--\n\nBIND: traced(self, site: str) -> Result[T, E] -- no-op on Ok, T-0028.";

PyMethodDef kOkMethods[] = {
    method_row<ok_is_ok_and, kIsOkAnd>("is_ok_and", "is_ok_and($self, pred)\n--\n\n"),
    method_row<op_false_args, kIsErrAnd>("is_err_and", "is_err_and($self, _pred)\n--\n\n"),
    method_row<ok_unwrap, kUnwrap>("unwrap", kUnwrapDoc),
    noargs_row<ok_unwrap_err>("unwrap_err", "unwrap_err($self)\n--\n\n"),
    method_row<ok_payload, kUnwrapOr>("unwrap_or", "unwrap_or($self, _default)\n--\n\n"),
    method_row<ok_payload, kUnwrapOrElse>("unwrap_or_else", "unwrap_or_else($self, _fn)\n--\n\n"),
    method_row<ok_payload, kExpect>("expect", "expect($self, _msg)\n--\n\n"),
    method_row<ok_expect_err, kExpectErr>("expect_err", "expect_err($self, msg)\n--\n\n"),
    method_row<ok_map, kMap>("map", "map($self, fn_)\n--\n\n"),
    method_row<op_self_args, kMapErr>("map_err", "map_err($self, _fn)\n--\n\n"),
    method_row<ok_and_then, kAndThen>("and_then", "and_then($self, fn_)\n--\n\n"),
    method_row<op_self_args, kOrElse>("or_else", "or_else($self, _fn)\n--\n\n"),
    method_row<ok_inspect, kInspect>("inspect", "inspect($self, fn_)\n--\n\n"),
    method_row<op_self_args, kInspectErr>("inspect_err", "inspect_err($self, _fn)\n--\n\n"),
    method_row<ok_fold, kFoldParams>("fold", "fold($self, on_ok, _on_err)\n--\n\n"),
    noargs_row<ok_to_option>("to_option", "to_option($self)\n--\n\n"),
    method_row<op_self_args, kNote>("note", "note($self, _msg)\n--\n\n"),
    method_row<op_self_args, kWrapErr>("wrap_err", kWrapErrDoc),
    method_row<op_self_args, kTraced>("traced", kTracedDoc),
    method_row<op_self_args, kSwapErr>("swap_err", "swap_err($self, _err)\n--\n\n"),
    method_row<ok_swap_ok, kSwapOk>("swap_ok", "swap_ok($self, _ok)\n--\n\n"),
    noargs_row<ok_reduce>("__reduce__", "__reduce__($self)\n--\n\n"),
    noargs_row<op_self>("__copy__", "__copy__($self)\n--\n\n"),
    method_row<ok_deepcopy, kDeepcopy>("__deepcopy__", "__deepcopy__($self, memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kOkProperties[] = {
    property_row<ok_value>("value"),
    property_row<op_true>("is_ok"),
    property_row<op_false>("is_err"),
    property_row<ok_value>("ok"),
    property_row<op_none>("err"),
    property_row<ok_value>("danger_ok"),
    property_row<ok_danger_err>("danger_err"),
    property_row<op_empty_tuple>("notes"),
    property_row<op_empty_tuple>("trace"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kOkSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<ok_new, kNew>)},
    {Py_tp_iter, reinterpret_cast<void*>(&entry::unary<ok_iter>)},
    {Py_nb_bool, reinterpret_cast<void*>(&entry::truth<ok_bool>)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry::hash<ok_hash>)},
    {Py_tp_repr, reinterpret_cast<void*>(&entry::unary<ok_repr>)},
    {Py_tp_str, reinterpret_cast<void*>(&entry::unary<ok_str>)},
    {Py_nb_rshift, reinterpret_cast<void*>(&entry::binary<ok_rshift>)},
    {Py_nb_or, reinterpret_cast<void*>(&entry::binary<ok_or_op>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry::compare<ok_compare>)},
    {0, nullptr},
};

PyObject* ok_match_args() { return Py_BuildValue("(s)", "value"); }
const ClassAttr kOkAttrs[] = {{"__match_args__", ok_match_args}};

}  // namespace

const ClassDef kOkClass = {
    "Ok",
    "ostrel.result.Ok",
    "Ok(value)\n--\n\nBIND: class Ok(Result[T_co, E_co])\n\nWHY: success variant; holds the payload "
    "directly (no boxing beyond the\n`Py<PyAny>` GC handle already required) so `unwrap`/`danger_ok` "
    "are a\nsingle field read with no Python-level attribute lookup.",
    Cls::Result,
    sizeof(ValueObject),
    Py_TPFLAGS_HAVE_GC,
    kOkSlots,
    kOkMethods,
    kOkProperties,
    dealloc_value,
    traverse_value,
    alloc_variant<ValueObject>,
    kOkAttrs,
    1,
};

}  // namespace ostrel
