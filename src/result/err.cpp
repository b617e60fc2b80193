// Err: the failure variant of Result. It holds `error`, and the tuples
// `notes` (context, oldest first) and `trace` (error-return sites, innermost
// first).
#include "module/entry.hpp"
#include "module/names.hpp"
#include "module/text.hpp"
#include "module/variant.hpp"
#include "option/option.hpp"
#include "result/result.hpp"

namespace ostrel {

Outcome new_plain_err(Ref error) noexcept {
  PyObject* empty = empty_tuple();
  if (OSTREL_UNLIKELY(empty == nullptr)) return Outcome::internal_null();
  return new_err(std::move(error), Ref::borrow(empty), Ref::borrow(empty));
}

namespace {

constexpr const char kTruthMessage[] = "Result has no truth value; use is_ok/is_err or match";

PyObject* error(PyObject* self) { return as_err(self)->error; }
Ref notes(PyObject* self) { return Ref::borrow(as_err(self)->notes); }
Ref trace(PyObject* self) { return Ref::borrow(as_err(self)->trace); }

// A new tuple: the entries of `old` in order, then `item`.
Outcome appended(PyObject* old, Ref item) noexcept {
  const Py_ssize_t n = PyTuple_Size(old);
  if (n < 0) return Outcome::capture();
  PyObject* grown = PyTuple_New(n + 1);
  if (grown == nullptr) return Outcome::internal_null();
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* entry = PyTuple_GetItem(old, i);
    Py_INCREF(entry);
    PyTuple_SetItem(grown, i, entry);
  }
  PyTuple_SetItem(grown, n, item.release());
  return Outcome::value(Ref::steal(grown));
}

// ---- construction, properties and protocol -------------------------------

Outcome err_new(PyTypeObject*, const Args& a) noexcept { return new_plain_err(Ref::borrow(a[0])); }

Outcome err_error(PyObject* self) noexcept { return Outcome::same(error(self)); }
Outcome err_notes(PyObject* self) noexcept { return Outcome::value(notes(self)); }
Outcome err_trace(PyObject* self) noexcept { return Outcome::value(trace(self)); }
Outcome err_danger_ok(PyObject* self) noexcept { return raise_unwrap(Family::Result, self); }

Outcome err_iter(PyObject*) noexcept { return iterate(nullptr); }
Outcome err_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome err_hash(PyObject* self) noexcept { return hash_tagged(1, error(self)); }
Outcome err_compare(PyObject* self, PyObject* other, int op) noexcept {
  return compare_payloads(error(self), is_a(other, Cls::Err) ? error(other) : nullptr, op);
}

// "Err(<error>; note: a; note: b; via inner <- outer)". A note or trace
// entry whose str() raises contributes no text.
Outcome err_text(PyObject* self, bool use_repr) noexcept {
  ErrObject* e = as_err(self);
  TextBuilder b;
  if (!b.append("Err(") || !b.append_form(e->error, use_repr)) return Outcome::capture();
  const Py_ssize_t n_notes = PyTuple_Size(e->notes);
  const Py_ssize_t n_trace = PyTuple_Size(e->trace);
  if (n_notes < 0 || n_trace < 0) return Outcome::capture();
  auto append_entry = [&b](PyObject* entry) {
    Ref text = Ref::steal(PyObject_Str(entry));
    if (!text) {
      PyErr_Clear();
      return true;
    }
    return b.append_text(text.get());
  };
  for (Py_ssize_t i = 0; i < n_notes; ++i) {
    if (!b.append("; note: ") || !append_entry(PyTuple_GetItem(e->notes, i))) return Outcome::capture();
  }
  for (Py_ssize_t i = 0; i < n_trace; ++i) {
    if (!b.append(i == 0 ? "; via " : " <- ") || !append_entry(PyTuple_GetItem(e->trace, i))) {
      return Outcome::capture();
    }
  }
  if (!b.append(")")) return Outcome::capture();
  return b.finish();
}
Outcome err_repr(PyObject* self) noexcept { return err_text(self, true); }
Outcome err_str(PyObject* self) noexcept { return err_text(self, false); }

// `err | f` and `err >> f`: the receiver; f is not called.
Outcome err_operator(PyObject* left, PyObject*) noexcept {
  if (!is_a(left, Cls::Err)) return Outcome::not_implemented();
  return Outcome::same(left);
}

// ---- combinators ---------------------------------------------------------

Outcome err_is_err_and(PyObject* self, const Args& a) noexcept { return call_truth(a[0], error(self)); }
Outcome err_unwrap_err(PyObject* self) noexcept { return err_error(self); }
Outcome err_payload(PyObject* self, const Args&) noexcept { return err_error(self); }
Outcome err_unwrap_or(PyObject*, const Args& a) noexcept { return Outcome::same(a[0]); }
Outcome err_call(PyObject* self, const Args& a) noexcept { return call(a[0], error(self)); }
Outcome err_expect(PyObject* self, const Args& a) noexcept {
  return raise_unwrap(Family::Result, self, a.text_of(0));
}
Outcome err_map_err(PyObject* self, const Args& a) noexcept {
  Outcome mapped = call(a[0], error(self));
  if (!mapped.is_value()) return mapped;
  return new_err(mapped.take(), notes(self), trace(self));
}
Outcome err_inspect_err(PyObject* self, const Args& a) noexcept {
  Outcome r = call(a[0], error(self));
  if (!r.is_value()) return r;
  return Outcome::same(self);
}
Outcome err_fold(PyObject* self, const Args& a) noexcept { return call(a[1], error(self)); }
Outcome err_to_option(PyObject*) noexcept { return nothing_instance(); }
Outcome err_swap_err(PyObject* self, const Args&) noexcept { return raise_unwrap(Family::Result, self); }

// ---- error context -------------------------------------------------------

Outcome err_note(PyObject* self, const Args& a) noexcept {
  Outcome note = exact_str(a.text_of(0));
  if (!note.is_value()) return note;
  Outcome grown = appended(as_err(self)->notes, note.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(error(self)), grown.take(), trace(self));
}

Outcome err_traced(PyObject* self, const Args& a) noexcept {
  Outcome site = exact_str(a.text_of(0));
  if (!site.is_value()) return site;
  Outcome grown = appended(as_err(self)->trace, site.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(error(self)), notes(self), grown.take());
}

// A new Err holding `err`; the old error survives as the trailing note
// "caused by <repr of the old error>".
Outcome err_wrap_err(PyObject* self, const Args& a) noexcept {
  TextBuilder b;
  if (!b.append("caused by ") || !b.append_form(error(self), true)) return Outcome::capture();
  Outcome note = b.finish();
  if (!note.is_value()) return note;
  Outcome grown = appended(as_err(self)->notes, note.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(a[0]), grown.take(), trace(self));
}

// Bare: raise at once. With err and/or note: the container is
// self.wrap_err(err), then .note(note), through ordinary attribute lookups.
Outcome err_unwrap(PyObject* self, const Args& a) noexcept {
  PyObject* err = a[0];
  PyObject* note = a[1];
  if (OSTREL_LIKELY(err == nullptr && note == nullptr)) return raise_unwrap(Family::Result, self);
  Ref container = Ref::borrow(self);
  if (err != nullptr) {
    Outcome wrapped = call_method(container.get(), interned(Name::wrap_err), err);
    if (!wrapped.is_value()) return wrapped;
    container = wrapped.take();
  }
  if (note != nullptr) {
    Outcome noted = call_method(container.get(), interned(Name::note), note);
    if (!noted.is_value()) return noted;
    container = noted.take();
  }
  return raise_unwrap(Family::Result, container.get());
}

// ---- copying and pickling ------------------------------------------------

Outcome err_with_meta(PyObject* self, const Args& a) noexcept {
  Ref new_trace = Ref::borrow(a[1]);
  if (!new_trace) {
    new_trace = Ref::steal(PyTuple_New(0));
    if (!new_trace) return Outcome::internal_null();
  }
  return new_err(Ref::borrow(error(self)), Ref::borrow(a[0]), std::move(new_trace));
}

Outcome err_reduce(PyObject* self) noexcept {
  Ref rebuild = rebuild_err_function();
  if (!rebuild) return Outcome::capture();
  ErrObject* e = as_err(self);
  PyObject* args = PyTuple_Pack(3, e->error, e->notes, e->trace);
  if (args == nullptr) return Outcome::internal_null();
  Ref owned_args = Ref::steal(args);
  PyObject* reduced = PyTuple_Pack(2, rebuild.get(), args);
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}

Outcome err_deepcopy(PyObject* self, const Args& a) noexcept {
  Outcome copy = deepcopy_payload(error(self), a[0]);
  if (!copy.is_value()) return copy;
  return new_err(copy.take(), notes(self), trace(self));
}

// ---- tables ----------------------------------------------------------------

constexpr Param kError[] = {{"error"}};
constexpr Param kPred[] = {{"pred"}};
constexpr Param kPredIgnored[] = {{"_pred"}};
constexpr Param kDefault[] = {{"default"}};
constexpr Param kFn[] = {{"fn_"}};
constexpr Param kFnIgnored[] = {{"_fn"}};
constexpr Param kMsg[] = {{"msg", Conv::Text}};
constexpr Param kMsgIgnored[] = {{"_msg", Conv::Text}};
constexpr Param kSite[] = {{"site", Conv::Text}};
constexpr Param kErr[] = {{"err"}};
constexpr Param kErrIgnored[] = {{"_err"}};
constexpr Param kOkIgnored[] = {{"_ok"}};
constexpr Param kMemo[] = {{"memo"}};
constexpr Param kFold[] = {{"_on_ok"}, {"on_err"}};
constexpr Param kMeta[] = {{"notes", Conv::Tuple}, {"trace", Conv::Tuple}};
constexpr Param kUnwrapKw[] = {{"err", Conv::Any, false}, {"note", Conv::Any, false}};

constexpr Params kNew{"Err.__new__()", kError, 1, 1};
constexpr Params kIsOkAnd{"Err.is_ok_and()", kPredIgnored, 1, 1};
constexpr Params kIsErrAnd{"Err.is_err_and()", kPred, 1, 1};
constexpr Params kUnwrap{"Err.unwrap()", nullptr, 0, 0, kUnwrapKw, 2};
constexpr Params kUnwrapOr{"Err.unwrap_or()", kDefault, 1, 1};
constexpr Params kUnwrapOrElse{"Err.unwrap_or_else()", kFn, 1, 1};
constexpr Params kExpect{"Err.expect()", kMsg, 1, 1};
constexpr Params kExpectErr{"Err.expect_err()", kMsgIgnored, 1, 1};
constexpr Params kMap{"Err.map()", kFnIgnored, 1, 1};
constexpr Params kMapErr{"Err.map_err()", kFn, 1, 1};
constexpr Params kAndThen{"Err.and_then()", kFnIgnored, 1, 1};
constexpr Params kOrElse{"Err.or_else()", kFn, 1, 1};
constexpr Params kInspect{"Err.inspect()", kFnIgnored, 1, 1};
constexpr Params kInspectErr{"Err.inspect_err()", kFn, 1, 1};
constexpr Params kFoldParams{"Err.fold()", kFold, 2, 2};
constexpr Params kNote{"Err.note()", kMsg, 1, 1};
constexpr Params kWrapErr{"Err.wrap_err()", kErr, 1, 1};
constexpr Params kTraced{"Err.traced()", kSite, 1, 1};
constexpr Params kWithMeta{"Err._with_meta()", kMeta, 2, 1};
constexpr Params kSwapErr{"Err.swap_err()", kErrIgnored, 1, 1};
constexpr Params kSwapOk{"Err.swap_ok()", kOkIgnored, 1, 1};
constexpr Params kDeepcopy{"Err.__deepcopy__()", kMemo, 1, 1};

constexpr const char kUnwrapDoc[] =
    "unwrap($self, *, err=None, note=None)\n--\n\nBIND: unwrap(self, *, err=None, note=None) -> T -- "
    "T-0028 keyword sugar.\nWith `err` given, the raised error's `.container` is\n`self.wrap_err(err)` "
    "(further `.note(note)`-d if given); with only\n`note`, it is `self.note(note)`. Bare (both None) "
    "is the original\nfast path: raise immediately, nothing else touched.";
constexpr const char kWrapErrDoc[] =
    "wrap_err($self, err)\n--\n\nBIND: wrap_err(self, err) -> Result[T, F] -- T-0028\n\nWHY: unlike "
    "map_err, *err* is a plain replacement value, not a\nfunction of the old error; the old error is "
    "preserved as a new\ntrailing note (`\"caused by {inner!r}\"`) instead of being lost.";
constexpr const char kTracedDoc[] =
    "traced($self, site)\n--\n\nBIND: traced(self, site: str) -> Result[T, E] -- T-0028\n\nWHY: "
    "appends *site* to the error-return trace, innermost first;\ncalled once per hop by "
    "`ostrel.propagate`. Preserves notes.";
constexpr const char kWithMetaDoc[] =
    "_with_meta($self, notes, trace=None)\n--\n\nBIND: _with_meta(self, notes: tuple[str, ...], trace: "
    "tuple[str, ...] = ()) -> Err\n\nWHY: `ostrel.result._rebuild_err` (pure Python, shared by "
    "both\nbackends' `__reduce__`) calls `Err(error)._with_meta(notes, trace)`\nto restore notes/trace "
    "during unpickling; the pure-Python `Err`\nmutates and returns `self`, but this class is frozen, so "
    "it returns\na fresh instance with the same error and the given notes/trace.";

PyMethodDef kErrMethods[] = {
    method_row<op_false_args, kIsOkAnd>("is_ok_and", "is_ok_and($self, _pred)\n--\n\n"),
    method_row<err_is_err_and, kIsErrAnd>("is_err_and", "is_err_and($self, pred)\n--\n\n"),
    method_row<err_unwrap, kUnwrap>("unwrap", kUnwrapDoc),
    noargs_row<err_unwrap_err>("unwrap_err", "unwrap_err($self)\n--\n\n"),
    method_row<err_unwrap_or, kUnwrapOr>("unwrap_or", "unwrap_or($self, default)\n--\n\n"),
    method_row<err_call, kUnwrapOrElse>("unwrap_or_else", "unwrap_or_else($self, fn_)\n--\n\n"),
    method_row<err_expect, kExpect>("expect", "expect($self, msg)\n--\n\n"),
    method_row<err_payload, kExpectErr>("expect_err", "expect_err($self, _msg)\n--\n\n"),
    method_row<op_self_args, kMap>("map", "map($self, _fn)\n--\n\n"),
    method_row<err_map_err, kMapErr>("map_err", "map_err($self, fn_)\n--\n\n"),
    method_row<op_self_args, kAndThen>("and_then", "and_then($self, _fn)\n--\n\n"),
    method_row<err_call, kOrElse>("or_else", "or_else($self, fn_)\n--\n\n"),
    method_row<op_self_args, kInspect>("inspect", "inspect($self, _fn)\n--\n\n"),
    method_row<err_inspect_err, kInspectErr>("inspect_err", "inspect_err($self, fn_)\n--\n\n"),
    method_row<err_fold, kFoldParams>("fold", "fold($self, _on_ok, on_err)\n--\n\n"),
    noargs_row<err_to_option>("to_option", "to_option($self)\n--\n\n"),
    method_row<err_note, kNote>("note", "note($self, msg)\n--\n\n"),
    method_row<err_wrap_err, kWrapErr>("wrap_err", kWrapErrDoc),
    method_row<err_traced, kTraced>("traced", kTracedDoc),
    method_row<err_with_meta, kWithMeta>("_with_meta", kWithMetaDoc),
    method_row<err_swap_err, kSwapErr>("swap_err", "swap_err($self, _err)\n--\n\n"),
    method_row<op_self_args, kSwapOk>("swap_ok", "swap_ok($self, _ok)\n--\n\n"),
    noargs_row<err_reduce>("__reduce__", "__reduce__($self)\n--\n\n"),
    noargs_row<op_self>("__copy__", "__copy__($self)\n--\n\n"),
    method_row<err_deepcopy, kDeepcopy>("__deepcopy__", "__deepcopy__($self, memo)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kErrProperties[] = {
    property_row<err_error>("error"),
    property_row<err_notes>("notes"),
    property_row<err_trace>("trace"),
    property_row<op_false>("is_ok"),
    property_row<op_true>("is_err"),
    property_row<op_none>("ok"),
    property_row<err_error>("err"),
    property_row<err_danger_ok>("danger_ok"),
    property_row<err_error>("danger_err"),
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kErrSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<err_new, kNew>)},
    {Py_tp_iter, reinterpret_cast<void*>(&entry::unary<err_iter>)},
    {Py_nb_bool, reinterpret_cast<void*>(&entry::truth<err_bool>)},
    {Py_tp_hash, reinterpret_cast<void*>(&entry::hash<err_hash>)},
    {Py_tp_repr, reinterpret_cast<void*>(&entry::unary<err_repr>)},
    {Py_tp_str, reinterpret_cast<void*>(&entry::unary<err_str>)},
    {Py_nb_rshift, reinterpret_cast<void*>(&entry::binary<err_operator>)},
    {Py_nb_or, reinterpret_cast<void*>(&entry::binary<err_operator>)},
    {Py_tp_richcompare, reinterpret_cast<void*>(&entry::compare<err_compare>)},
    {0, nullptr},
};

PyObject* err_match_args() { return Py_BuildValue("(s)", "error"); }
const ClassAttr kErrAttrs[] = {{"__match_args__", err_match_args}};

}  // namespace

const ClassDef kErrClass = {
    "Err",
    "ostrel.result.Err",
    "Err(error)\n--\n\nBIND: class Err(Result[T_co, E_co])\n\nWHY: failure variant; carries `notes` "
    "alongside the error payload so\n`note()`/`map_err()` and `__reduce__`'s `_rebuild_err` "
    "round-trip\nexactly like the pure-Python `Err`.",
    Cls::Result,
    sizeof(ErrObject),
    Py_TPFLAGS_HAVE_GC,
    kErrSlots,
    kErrMethods,
    kErrProperties,
    dealloc_err,
    traverse_err,
    alloc_variant<ErrObject>,
    kErrAttrs,
    1,
};

}  // namespace ostrel
