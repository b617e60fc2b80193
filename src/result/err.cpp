// Err: the failure variant of Result. It holds `error`, and the tuples
// `notes` (context, oldest first) and `trace` (error-return sites, innermost
// first).
#include "module/companion.hpp"
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/text.hpp"
#include "module/unwrap.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Err", D, B>;

constexpr const char kTruthMessage[] = "Result has no truth value; use is_ok/is_err or match";

PyObject* error_of(PyObject* self) { return as_err(self)->error; }
Ref notes_of(PyObject* self) { return Ref::borrow(as_err(self)->notes); }
Ref trace_of(PyObject* self) { return Ref::borrow(as_err(self)->trace); }

// ---- construction, properties and protocol -------------------------------

Outcome err_new(PyTypeObject*, const Args& a) noexcept { return new_err(Ref::borrow(a[0])); }

Outcome err_error(PyObject* self) noexcept { return Outcome::same(error_of(self)); }
Outcome err_notes(PyObject* self) noexcept { return Outcome::value(notes_of(self)); }
Outcome err_trace(PyObject* self) noexcept { return Outcome::value(trace_of(self)); }
Outcome err_danger_ok(PyObject* self) noexcept { return raise_unwrap(Cls::Result, self); }

Outcome err_iter(PyObject*) noexcept { return iterate(nullptr); }
Outcome err_bool(PyObject*) noexcept { return refuse_truth(kTruthMessage); }
Outcome err_hash(PyObject* self) noexcept { return hash_tagged(1, error_of(self)); }
Outcome err_compare(PyObject* self, PyObject* other, int op) noexcept {
  return compare_payloads(error_of(self), is_a(other, Cls::Err) ? error_of(other) : nullptr, op);
}

// "Err(<error>; note: a; note: b; via inner <- outer)". A note or trace
// entry whose str() fails with an ordinary error contributes no text; any
// other failure (an interrupt, a recursion, no memory) ends the rendering.
Outcome err_text(PyObject* self, bool use_repr) noexcept {
  ErrFields* e = as_err(self);
  TextBuilder b;
  b.append("Err(").append_form(e->error, use_repr);
  const Py_ssize_t n_notes = PyTuple_Size(e->notes);
  const Py_ssize_t n_trace = PyTuple_Size(e->trace);
  for (Py_ssize_t i = 0; i < n_notes; ++i) b.append("; note: ").append_str_lenient(PyTuple_GetItem(e->notes, i));
  for (Py_ssize_t i = 0; i < n_trace; ++i) {
    b.append(i == 0 ? "; via " : " <- ").append_str_lenient(PyTuple_GetItem(e->trace, i));
  }
  b.append(")");
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

Outcome err_is_err_and(PyObject* self, const Args& a) noexcept { return call_truth(a[0], error_of(self)); }
Outcome err_payload(PyObject* self, const Args&) noexcept { return err_error(self); }
Outcome err_unwrap_or(PyObject*, const Args& a) noexcept { return Outcome::same(a[0]); }
Outcome err_call(PyObject* self, const Args& a) noexcept { return call(a[0], error_of(self)); }
Outcome err_expect(PyObject* self, const Args& a) noexcept { return raise_unwrap(Cls::Result, self, a.text_of(0)); }
Outcome err_map_err(PyObject* self, const Args& a) noexcept {
  Outcome mapped = call(a[0], error_of(self));
  if (!mapped.is_value()) return mapped;
  return new_err(mapped.take(), notes_of(self), trace_of(self));
}
Outcome err_inspect_err(PyObject* self, const Args& a) noexcept {
  Outcome r = call(a[0], error_of(self));
  if (!r.is_value()) return r;
  return Outcome::same(self);
}
Outcome err_fold(PyObject* self, const Args& a) noexcept { return call(a[1], error_of(self)); }
Outcome err_to_option(PyObject*) noexcept { return nothing(); }
Outcome err_swap_err(PyObject* self, const Args&) noexcept { return raise_unwrap(Cls::Result, self); }

// ---- error context -------------------------------------------------------

Outcome err_note(PyObject* self, const Args& a) noexcept {
  Outcome note = exact_str(a.text_of(0));
  if (!note.is_value()) return note;
  Outcome grown = appended(as_err(self)->notes, note.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(error_of(self)), grown.take(), trace_of(self));
}

Outcome err_traced(PyObject* self, const Args& a) noexcept {
  Outcome site = exact_str(a.text_of(0));
  if (!site.is_value()) return site;
  Outcome grown = appended(as_err(self)->trace, site.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(error_of(self)), notes_of(self), grown.take());
}

// A new Err holding `err`; the old error survives as the trailing note
// "caused by <repr of the old error>".
Outcome err_wrap_err(PyObject* self, const Args& a) noexcept {
  TextBuilder b;
  Outcome note = b.append("caused by ").append_form(error_of(self), true).finish();
  if (!note.is_value()) return note;
  Outcome grown = appended(as_err(self)->notes, note.take());
  if (!grown.is_value()) return grown;
  return new_err(Ref::borrow(a[0]), grown.take(), trace_of(self));
}

// Bare: raise at once. With err and/or note: the container is
// self.wrap_err(err), then .note(note), through ordinary attribute lookups.
Outcome err_unwrap(PyObject* self, const Args& a) noexcept {
  PyObject* err = a[0];
  PyObject* note = a[1];
  if (OSTREL_LIKELY(err == nullptr && note == nullptr)) return raise_unwrap(Cls::Result, self);
  Ref container = Ref::borrow(self);
  if (err != nullptr) {
    Outcome wrapped = call_method(container.get(), Name::wrap_err, err);
    if (!wrapped.is_value()) return wrapped;
    container = wrapped.take();
  }
  if (note != nullptr) {
    Outcome noted = call_method(container.get(), Name::note, note);
    if (!noted.is_value()) return noted;
    container = noted.take();
  }
  return raise_unwrap(Cls::Result, container.get());
}

// ---- copying and pickling ------------------------------------------------

Outcome err_with_meta(PyObject* self, const Args& a) noexcept {
  Ref new_trace = Ref::borrow(a[1]);
  if (!new_trace) {
    new_trace = Ref::steal(PyTuple_New(0));
    if (!new_trace) return Outcome::internal_null();
  }
  return new_err(Ref::borrow(error_of(self)), Ref::borrow(a[0]), std::move(new_trace));
}

Outcome err_reduce(PyObject* self) noexcept {
  Outcome rebuild = rebuild_err_function();
  if (!rebuild.is_value()) return rebuild;
  ErrFields* e = as_err(self);
  Ref args = Ref::steal(PyTuple_Pack(3, e->error, e->notes, e->trace));
  if (!args) return Outcome::internal_null();
  PyObject* reduced = PyTuple_Pack(2, rebuild.peek(), args.get());
  if (reduced == nullptr) return Outcome::internal_null();
  return Outcome::value(Ref::steal(reduced));
}

Outcome err_deepcopy(PyObject* self, const Args& a) noexcept {
  return deepcopy_variant(self, error_of(self), a[0], [](PyObject* receiver, Ref copied) {
    return new_err(std::move(copied), notes_of(receiver), trace_of(receiver));
  });
}

// ---- tables ----------------------------------------------------------------
// The docstring bodies below are part of the published interface: kept word
// for word.

PyMethodDef kErrMethods[] = {
    method_row<op_false_args, S<"is_ok_and($self, _pred)">>(),
    method_row<err_is_err_and, S<"is_err_and($self, pred)">>(),
    method_row<err_unwrap,
               S<"unwrap($self, *, err=None, note=None)",
                 "BIND: unwrap(self, *, err=None, note=None) -> T -- T-0028 keyword sugar.\nWith `err` given, the "
                 "raised error's `.container` is\n`self.wrap_err(err)` (further `.note(note)`-d if given); with "
                 "only\n`note`, it is `self.note(note)`. Bare (both None) is the original\nfast path: raise "
                 "immediately, nothing else touched.">>(),
    method_row<err_error, S<"unwrap_err($self)">>(),
    method_row<err_unwrap_or, S<"unwrap_or($self, default)">>(),
    method_row<err_call, S<"unwrap_or_else($self, fn_)">>(),
    method_row<err_expect, S<"expect($self, msg: str)">>(),
    method_row<err_payload, S<"expect_err($self, _msg: str)">>(),
    method_row<op_self_args, S<"map($self, _fn)">>(),
    method_row<err_map_err, S<"map_err($self, fn_)">>(),
    method_row<op_self_args, S<"and_then($self, _fn)">>(),
    method_row<err_call, S<"or_else($self, fn_)">>(),
    method_row<op_self_args, S<"inspect($self, _fn)">>(),
    method_row<err_inspect_err, S<"inspect_err($self, fn_)">>(),
    method_row<err_fold, S<"fold($self, _on_ok, on_err)">>(),
    method_row<err_to_option, S<"to_option($self)">>(),
    method_row<err_note, S<"note($self, msg: str)">>(),
    method_row<err_wrap_err,
               S<"wrap_err($self, err)",
                 "BIND: wrap_err(self, err) -> Result[T, F] -- T-0028\n\nWHY: unlike map_err, *err* is a plain "
                 "replacement value, not a\nfunction of the old error; the old error is preserved as a new\n"
                 "trailing note (`\"caused by {inner!r}\"`) instead of being lost.">>(),
    method_row<err_traced,
               S<"traced($self, site: str)",
                 "BIND: traced(self, site: str) -> Result[T, E] -- T-0028\n\nWHY: appends *site* to the "
                 "error-return trace, innermost first;\ncalled once per hop by `ostrel.propagate`. Preserves "
                 "notes.">>(),
    method_row<err_with_meta,
               S<"_with_meta($self, notes: tuple, trace: tuple=None)",
                 "BIND: _with_meta(self, notes: tuple[str, ...], trace: tuple[str, ...] = ()) -> Err\n\nWHY: "
                 "`ostrel.result._rebuild_err` (pure Python, shared by both\nbackends' `__reduce__`) calls "
                 "`Err(error)._with_meta(notes, trace)`\nto restore notes/trace during unpickling; the "
                 "pure-Python `Err`\nmutates and returns `self`, but this class is frozen, so it returns\na fresh "
                 "instance with the same error and the given notes/trace.">>(),
    method_row<err_swap_err, S<"swap_err($self, _err)">>(),
    method_row<op_self_args, S<"swap_ok($self, _ok)">>(),
    method_row<err_reduce, S<"__reduce__($self)">>(),
    method_row<op_self, S<"__copy__($self)">>(),
    method_row<err_deepcopy, S<"__deepcopy__($self, memo)">>(),
    kEndOfMethods,
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
    kEndOfProperties,
};

using Constructor = S<"Err(error)",
                      "BIND: class Err(Result[T_co, E_co])\n\nWHY: failure variant; carries `notes` alongside the "
                      "error payload so\n`note()`/`map_err()` and `__reduce__`'s `_rebuild_err` round-trip\nexactly "
                      "like the pure-Python `Err`.">;

const PyType_Slot kErrSlots[] = {
    {Py_tp_new, as_slot(&entry::construct<err_new, Constructor::params>)},
    {Py_tp_iter, as_slot(&entry::unary<err_iter>)},
    {Py_nb_bool, as_slot(&entry::truth<err_bool>)},
    {Py_tp_hash, as_slot(&entry::hash<err_hash>)},
    {Py_tp_repr, as_slot(&entry::unary<err_repr>)},
    {Py_tp_str, as_slot(&entry::unary<err_str>)},
    {Py_nb_rshift, as_slot(&entry::binary<err_operator>)},
    {Py_nb_or, as_slot(&entry::binary<err_operator>)},
    {Py_tp_richcompare, as_slot(&entry::compare<err_compare>)},
};

Outcome err_match_args() { return Outcome::from(Py_BuildValue("(s)", "error")); }
const ClassAttr kErrAttrs[] = {{"__match_args__", err_match_args}};

}  // namespace

const ClassDef kErrClass = {
    .cls = Cls::Err,
    .name = "Err",
    .qualified_name = "ostrel.result.Err",
    .doc = Constructor::doc.data(),
    .base = Cls::Result,
    .layout = Layout::Err,
    .subclassable = false,
    .slots = own_slots(kErrSlots),
    .methods = kErrMethods,
    .properties = kErrProperties,
    .attrs = class_attrs(kErrAttrs),
};

}  // namespace ostrel
