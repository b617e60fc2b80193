// Ok: the success variant of Result. It holds `value`.
#include "module/entry.hpp"
#include "module/names.hpp"
#include "module/text.hpp"
#include "module/value_variant.hpp"
#include "module/variant.hpp"
#include "option/option.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

constexpr const char kTruthMessage[] = "Result has no truth value; use is_ok/is_err or match";

using value_variant::value;

// ---- construction, properties and protocol -------------------------------

Outcome ok_new(PyTypeObject*, const Args& a) noexcept { return new_ok(Ref::borrow(a[0])); }
// `danger_err` and `unwrap_err()`: there is no error to take.
Outcome ok_no_error(PyObject* self) noexcept { return raise_unwrap(Family::Result, self); }
Outcome ok_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome ok_repr(PyObject* self) noexcept { return wrapped_form("Ok(", value(self), true); }
Outcome ok_str(PyObject* self) noexcept { return wrapped_form("Ok(", value(self), false); }

// ---- combinators ---------------------------------------------------------

Outcome ok_is_ok_and(PyObject* self, const Args& a) noexcept { return call_truth(a[0], value(self)); }
Outcome ok_expect_err(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Family::Result, self, a.text_of(0));
}
Outcome ok_to_option(PyObject* self) noexcept { return new_some(Ref::borrow(value(self))); }
Outcome ok_swap_ok(PyObject* self, const Args&) noexcept { return raise_unwrap(Family::Result, self); }

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
    method_row<value_variant::get_args, kUnwrap>("unwrap", kUnwrapDoc),
    noargs_row<ok_no_error>("unwrap_err", "unwrap_err($self)\n--\n\n"),
    method_row<value_variant::get_args, kUnwrapOr>("unwrap_or", "unwrap_or($self, _default)\n--\n\n"),
    method_row<value_variant::get_args, kUnwrapOrElse>("unwrap_or_else", "unwrap_or_else($self, _fn)\n--\n\n"),
    method_row<value_variant::get_args, kExpect>("expect", "expect($self, _msg)\n--\n\n"),
    method_row<ok_expect_err, kExpectErr>("expect_err", "expect_err($self, msg)\n--\n\n"),
    method_row<value_variant::map<Cls::Ok>, kMap>("map", "map($self, fn_)\n--\n\n"),
    method_row<op_self_args, kMapErr>("map_err", "map_err($self, _fn)\n--\n\n"),
    method_row<value_variant::apply, kAndThen>("and_then", "and_then($self, fn_)\n--\n\n"),
    method_row<op_self_args, kOrElse>("or_else", "or_else($self, _fn)\n--\n\n"),
    method_row<value_variant::inspect, kInspect>("inspect", "inspect($self, fn_)\n--\n\n"),
    method_row<op_self_args, kInspectErr>("inspect_err", "inspect_err($self, _fn)\n--\n\n"),
    method_row<value_variant::apply, kFoldParams>("fold", "fold($self, on_ok, _on_err)\n--\n\n"),
    noargs_row<ok_to_option>("to_option", "to_option($self)\n--\n\n"),
    method_row<op_self_args, kNote>("note", "note($self, _msg)\n--\n\n"),
    method_row<op_self_args, kWrapErr>("wrap_err", kWrapErrDoc),
    method_row<op_self_args, kTraced>("traced", kTracedDoc),
    method_row<op_self_args, kSwapErr>("swap_err", "swap_err($self, _err)\n--\n\n"),
    method_row<ok_swap_ok, kSwapOk>("swap_ok", "swap_ok($self, _ok)\n--\n\n"),
    noargs_row<value_variant::reduce>("__reduce__", "__reduce__($self)\n--\n\n"),
    noargs_row<op_self>("__copy__", "__copy__($self)\n--\n\n"),
    method_row<value_variant::deepcopy<Cls::Ok>, kDeepcopy>("__deepcopy__", "__deepcopy__($self, memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
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
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kOkSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<ok_new, kNew>)},
    {Py_tp_iter, reinterpret_cast<void*>(&entry::unary<value_variant::iter>)},
    {Py_nb_bool, reinterpret_cast<void*>(&entry::truth<ok_bool>)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry::hash<value_variant::hash>)},
    {Py_tp_repr, reinterpret_cast<void*>(&entry::unary<ok_repr>)},
    {Py_tp_str, reinterpret_cast<void*>(&entry::unary<ok_str>)},
    {Py_nb_rshift, reinterpret_cast<void*>(&entry::binary<value_variant::rshift<Cls::Ok>>)},
    {Py_nb_or, reinterpret_cast<void*>(&entry::binary<value_variant::or_op<Cls::Ok>>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry::compare<value_variant::compare<Cls::Ok>>)},
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
