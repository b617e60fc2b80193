// Nothing: the absent variant of Option. One instance per process,
// NOTHING_INSTANCE, is shared by every operation that yields an absent value.
#include "module/entry.hpp"
#include "module/names.hpp"
#include "module/variant.hpp"
#include "option/option.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

constexpr Py_hash_t kNothingHash = 2206609067086327257LL;  // 0x1E9F734161D62DD9

// Creating it runs no Python code and never releases the GIL, so the first
// thread to need it fills the cell before any other can look.
PyObject* g_nothing = nullptr;

}  // namespace

Outcome nothing_instance() noexcept {
  if (OSTREL_UNLIKELY(g_nothing == nullptr)) {
    PyTypeObject* type = type_object(Cls::Nothing);
    if (type == nullptr) return type_failure(Cls::Nothing);
    PyObject* created = allocate(type);
    if (created == nullptr) return Outcome::capture();
    if (g_nothing == nullptr) {
      g_nothing = created;  // kept until the process ends
    } else {
      Py_DECREF(created);
    }
  }
  return Outcome::same(g_nothing);
}

namespace {

constexpr const char kTruthMessage[] = "Option has no truth value; use is_some/is_nothing or match";

Outcome nothing_new(PyTypeObject*, const Args&) noexcept { return nothing_instance(); }

Outcome nothing_danger_some(PyObject* self) noexcept { return raise_unwrap(Family::Option, self); }
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
    return raise_unwrap(Family::Option, self);
  }
  Outcome container = call_method(self, interned(Name::ok_or), err);
  if (!container.is_value()) return container;
  if (note != nullptr) {
    Outcome noted = call_method(container.peek(), interned(Name::note), note);
    if (!noted.is_value()) return noted;
    return raise_unwrap(Family::Option, noted.peek());
  }
  return raise_unwrap(Family::Option, container.peek());
}

Outcome nothing_expect(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Family::Option, self, a.text_of(0));
}
Outcome nothing_unwrap_or(PyObject*, const Args& a) noexcept { return Outcome::same(a[0]); }
Outcome nothing_call(PyObject*, const Args& a) noexcept { return call(a[0], nullptr); }
Outcome nothing_ok_or(PyObject*, const Args& a) noexcept { return new_plain_err(Ref::borrow(a[0])); }
Outcome nothing_ok_or_else(PyObject*, const Args& a) noexcept {
  Outcome made = call(a[0], nullptr);
  if (!made.is_value()) return made;
  return new_plain_err(made.take());
}

Outcome nothing_reduce(PyObject* self) noexcept {
  PyObject* args = PyTuple_New(0);
  if (args == nullptr) return Outcome::internal_null();
  Ref owned_args = Ref::steal(args);
  PyObject* reduced = PyTuple_Pack(2, reinterpret_cast<PyObject*>(Py_TYPE(self)), args);
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}

constexpr Param kDefault[] = {{"default"}};
constexpr Param kFn[] = {{"fn_"}};
constexpr Param kFnIgnored[] = {{"_fn"}};
constexpr Param kPredIgnored[] = {{"_pred"}};
constexpr Param kMsg[] = {{"msg", Conv::Text}};
constexpr Param kErr[] = {{"err"}};
constexpr Param kMemoIgnored[] = {{"_memo"}};
constexpr Param kUnwrapKw[] = {{"err", Conv::Any, false}, {"note", Conv::Any, false}};

constexpr Params kNew{"Nothing.__new__()", nullptr, 0, 0, nullptr, 0, true, true};
constexpr Params kUnwrap{"Nothing.unwrap()", nullptr, 0, 0, kUnwrapKw, 2};
constexpr Params kUnwrapOr{"Nothing.unwrap_or()", kDefault, 1, 1};
constexpr Params kUnwrapOrElse{"Nothing.unwrap_or_else()", kFn, 1, 1};
constexpr Params kExpect{"Nothing.expect()", kMsg, 1, 1};
constexpr Params kInspect{"Nothing.inspect()", kFnIgnored, 1, 1};
constexpr Params kMap{"Nothing.map()", kFnIgnored, 1, 1};
constexpr Params kAndThen{"Nothing.and_then()", kFnIgnored, 1, 1};
constexpr Params kOrElse{"Nothing.or_else()", kFn, 1, 1};
constexpr Params kFilter{"Nothing.filter()", kPredIgnored, 1, 1};
constexpr Params kOkOr{"Nothing.ok_or()", kErr, 1, 1};
constexpr Params kOkOrElse{"Nothing.ok_or_else()", kFn, 1, 1};
constexpr Params kDeepcopy{"Nothing.__deepcopy__()", kMemoIgnored, 1, 1};

constexpr const char kUnwrapDoc[] =
    "unwrap($self, *, err=None, note=None)\n--\n\nBIND: unwrap(self, *, err=None, note=None) -> T -- "
    "T-0028 keyword sugar.\nWith `err` given, propagates as `Err(err)` (via `ok_or`, then\n`.note(note)` "
    "if given). `note` without `err` raises `TypeError`:\n`Nothing` has no notes of its own to attach "
    "one to.";

PyMethodDef kNothingMethods[] = {
    method_row<nothing_unwrap, kUnwrap>("unwrap", kUnwrapDoc),
    method_row<nothing_unwrap_or, kUnwrapOr>("unwrap_or", "unwrap_or($self, default)\n--\n\n"),
    method_row<nothing_call, kUnwrapOrElse>("unwrap_or_else", "unwrap_or_else($self, fn_)\n--\n\n"),
    method_row<nothing_expect, kExpect>("expect", "expect($self, msg)\n--\n\n"),
    method_row<op_self_args, kInspect>("inspect", "inspect($self, _fn)\n--\n\n"),
    method_row<op_self_args, kMap>("map", "map($self, _fn)\n--\n\n"),
    method_row<op_self_args, kAndThen>("and_then", "and_then($self, _fn)\n--\n\n"),
    method_row<nothing_call, kOrElse>("or_else", "or_else($self, fn_)\n--\n\n"),
    method_row<op_self_args, kFilter>("filter", "filter($self, _pred)\n--\n\n"),
    method_row<nothing_ok_or, kOkOr>("ok_or", "ok_or($self, err)\n--\n\n"),
    method_row<nothing_ok_or_else, kOkOrElse>("ok_or_else", "ok_or_else($self, fn_)\n--\n\n"),
    noargs_row<nothing_reduce>("__reduce__", "__reduce__($self)\n--\n\n"),
    noargs_row<op_self>("__copy__", "__copy__($self)\n--\n\n"),
    method_row<op_self_args, kDeepcopy>("__deepcopy__", "__deepcopy__($self, _memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kNothingProperties[] = {
    property_row<op_false>("is_some"),
    property_row<op_true>("is_nothing"),
    property_row<op_none>("some"),
    property_row<nothing_danger_some>("danger_some"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kNothingSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<nothing_new, kNew>)},
    {Py_tp_iter, reinterpret_cast<void*>(&entry::unary<nothing_iter>)},
    {Py_nb_bool, reinterpret_cast<void*>(&entry::truth<nothing_bool>)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry::hash<nothing_hash>)},
    {Py_tp_repr, reinterpret_cast<void*>(&entry::unary<nothing_text>)},
    {Py_tp_str, reinterpret_cast<void*>(&entry::unary<nothing_text>)},
    {Py_nb_rshift, reinterpret_cast<void*>(&entry::binary<nothing_operator>)},
    {Py_nb_or, reinterpret_cast<void*>(&entry::binary<nothing_operator>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry::compare<nothing_compare>)},
    {0, nullptr},
};

PyObject* nothing_match_args() { return PyTuple_New(0); }
const ClassAttr kNothingAttrs[] = {{"__match_args__", nothing_match_args}};

}  // namespace

const ClassDef kNothingClass = {
    "Nothing",
    "ostrel.option.Nothing",
    "Nothing(*_args, **_kwargs)\n--\n\nBIND: class Nothing(Option[T_co])\n\nWHY: absent variant; a "
    "single cached instance is shared process-wide\n(`NOTHING_INSTANCE`, mirroring `Nothing._INSTANCE`) "
    "so `Nothing() is\nNothing()` holds under the native backend too.",
    Cls::Option,
    static_cast<int>(sizeof(PyObject)),
    0,
    kNothingSlots,
    kNothingMethods,
    kNothingProperties,
    dealloc_empty,
    nullptr,
    nullptr,
    kNothingAttrs,
    1,
};

}  // namespace ostrel
