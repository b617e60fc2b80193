// Some: the present variant of Option. It holds `value`.
#include "module/entry.hpp"
#include "module/text.hpp"
#include "module/value_variant.hpp"
#include "module/variant.hpp"
#include "option/option.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

constexpr const char kTruthMessage[] = "Option has no truth value; use is_some/is_nothing or match";

using value_variant::value;

Outcome some_new(PyTypeObject*, const Args& a) noexcept { return new_some(Ref::borrow(a[0])); }
Outcome some_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome some_repr(PyObject* self) noexcept { return wrapped_form("Some(", value(self), true); }
Outcome some_str(PyObject* self) noexcept { return wrapped_form("Some(", value(self), false); }

// A new Some holding the same value when pred(value) is true, else Nothing.
Outcome some_filter(PyObject* self, const Args& a) noexcept {
  Outcome keep = call_truth(a[0], value(self));
  if (!keep.is_value()) return keep;
  if (keep.peek() == Py_True) return new_some(Ref::borrow(value(self)));
  return nothing_instance();
}
Outcome some_ok_or(PyObject* self, const Args&) noexcept { return new_ok(Ref::borrow(value(self))); }

// ---- tables ----------------------------------------------------------------

constexpr Param kValue[] = {{"value"}};
constexpr Param kDefaultIgnored[] = {{"_default"}};
constexpr Param kFn[] = {{"fn_"}};
constexpr Param kFnIgnored[] = {{"_fn"}};
constexpr Param kPred[] = {{"pred"}};
constexpr Param kMsgIgnored[] = {{"_msg", Conv::Text}};
constexpr Param kErrIgnored[] = {{"_err"}};
constexpr Param kMemo[] = {{"memo"}};
constexpr Param kUnwrapKw[] = {{"err", Conv::Any, false}, {"note", Conv::Any, false}};

constexpr Params kNew{"Some.__new__()", kValue, 1, 1};
constexpr Params kUnwrap{"Some.unwrap()", nullptr, 0, 0, kUnwrapKw, 2};
constexpr Params kUnwrapOr{"Some.unwrap_or()", kDefaultIgnored, 1, 1};
constexpr Params kUnwrapOrElse{"Some.unwrap_or_else()", kFnIgnored, 1, 1};
constexpr Params kExpect{"Some.expect()", kMsgIgnored, 1, 1};
constexpr Params kMap{"Some.map()", kFn, 1, 1};
constexpr Params kAndThen{"Some.and_then()", kFn, 1, 1};
constexpr Params kOrElse{"Some.or_else()", kFnIgnored, 1, 1};
constexpr Params kInspect{"Some.inspect()", kFn, 1, 1};
constexpr Params kFilter{"Some.filter()", kPred, 1, 1};
constexpr Params kOkOr{"Some.ok_or()", kErrIgnored, 1, 1};
constexpr Params kOkOrElse{"Some.ok_or_else()", kFnIgnored, 1, 1};
constexpr Params kDeepcopy{"Some.__deepcopy__()", kMemo, 1, 1};

constexpr const char kUnwrapDoc[] =
    "unwrap($self, *, err=None, note=None)\n--\n\nBIND: unwrap(self, *, err=None, note=None) -> T -- "
    "T-0028 keyword sugar,\nalways ignored on `Some`.";

PyMethodDef kSomeMethods[] = {
    method_row<value_variant::get_args, kUnwrap>("unwrap", kUnwrapDoc),
    method_row<value_variant::get_args, kUnwrapOr>("unwrap_or", "unwrap_or($self, _default)\n--\n\n"),
    method_row<value_variant::get_args, kUnwrapOrElse>("unwrap_or_else", "unwrap_or_else($self, _fn)\n--\n\n"),
    method_row<value_variant::get_args, kExpect>("expect", "expect($self, _msg)\n--\n\n"),
    method_row<value_variant::map<Cls::Some>, kMap>("map", "map($self, fn_)\n--\n\n"),
    method_row<value_variant::apply, kAndThen>("and_then", "and_then($self, fn_)\n--\n\n"),
    method_row<op_self_args, kOrElse>("or_else", "or_else($self, _fn)\n--\n\n"),
    method_row<value_variant::inspect, kInspect>("inspect", "inspect($self, fn_)\n--\n\n"),
    method_row<some_filter, kFilter>("filter", "filter($self, pred)\n--\n\n"),
    method_row<some_ok_or, kOkOr>("ok_or", "ok_or($self, _err)\n--\n\n"),
    method_row<some_ok_or, kOkOrElse>("ok_or_else", "ok_or_else($self, _fn)\n--\n\n"),
    noargs_row<value_variant::reduce>("__reduce__", "__reduce__($self)\n--\n\n"),
    noargs_row<op_self>("__copy__", "__copy__($self)\n--\n\n"),
    method_row<value_variant::deepcopy<Cls::Some>, kDeepcopy>("__deepcopy__", "__deepcopy__($self, memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kSomeProperties[] = {
    property_row<value_variant::get>("value"),
    property_row<op_true>("is_some"),
    property_row<op_false>("is_nothing"),
    property_row<value_variant::get>("some"),
    property_row<value_variant::get>("danger_some"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kSomeSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<some_new, kNew>)},
    {Py_tp_iter, reinterpret_cast<void*>(&entry::unary<value_variant::iter>)},
    {Py_nb_bool, reinterpret_cast<void*>(&entry::truth<some_bool>)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry::hash<value_variant::hash>)},
    {Py_tp_repr, reinterpret_cast<void*>(&entry::unary<some_repr>)},
    {Py_tp_str, reinterpret_cast<void*>(&entry::unary<some_str>)},
    {Py_nb_rshift, reinterpret_cast<void*>(&entry::binary<value_variant::rshift<Cls::Some>>)},
    {Py_nb_or, reinterpret_cast<void*>(&entry::binary<value_variant::or_op<Cls::Some>>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry::compare<value_variant::compare<Cls::Some>>)},
    {0, nullptr},
};

PyObject* some_match_args() { return Py_BuildValue("(s)", "value"); }
const ClassAttr kSomeAttrs[] = {{"__match_args__", some_match_args}};

}  // namespace

const ClassDef kSomeClass = {
    "Some",
    "ostrel.option.Some",
    "Some(value)\n--\n\nBIND: class Some(Option[T_co])\n\nWHY: present variant; holds the payload "
    "directly for a single-field\nread on `unwrap`/`danger_some`.",
    Cls::Option,
    sizeof(ValueObject),
    Py_TPFLAGS_HAVE_GC,
    kSomeSlots,
    kSomeMethods,
    kSomeProperties,
    dealloc_value,
    traverse_value,
    alloc_variant<ValueObject>,
    kSomeAttrs,
    1,
};

}  // namespace ostrel
