// ostrel._accel.Propagated: what @propagate makes of a function that is not
// a coroutine function. A call hands its arguments to the function as they
// came; an Err it returns gains the wrapper's site in its trace, and anything
// else comes back as it is. Python runs again only when the call raises the
// unwrap failure: then `early(exc)` (ostrel/_propagate.py) decides whether
// that failure belongs to the body itself and what the call returns instead,
// or returns None to let it go on.
//
// Like a function, the wrapper binds as a method, keeps the attributes that
// functools.update_wrapper gives it in an instance dict, takes weak
// references and pickles by reference, as the name in its __module__ and
// __qualname__.
#include "accel/propagated.hpp"

#include "accel/variants.hpp"
#include "module/entry.hpp"
#include "module/layout.hpp"
#include "module/once.hpp"

#include <structmember.h>

#include <cstddef>

namespace ostrel::accel {

namespace {

struct Propagated {
  PyObject* fn;      // the decorated callable; null once cleared by the collector
  PyObject* site;    // str: the trace site
  PyObject* caught;  // the class of the unwrap failure (ostrel.UnwrapError)
  PyObject* early;   // early(exc): what to return in place of that failure, or None
  PyObject* dict;
  PyObject* weakrefs;
};

FieldsOf<Propagated> g_fields;

Propagated* as_propagated(PyObject* self) noexcept { return g_fields.in(self); }

constexpr const char kDoc[] =
    "Propagated(fn, site, caught, early, /)\n--\n\n"
    "The wrapper that ostrel.propagate puts around a function: calls fn with\n"
    "the arguments as given, adds `site` to the trace of an Err it returns,\n"
    "and on an exception of class `caught` returns early(exc) instead, unless\n"
    "that is None. Made by ostrel.propagate, which copies fn's attributes.";
constexpr const char kReduceDoc[] =
    "__reduce__($self, /)\n--\n\n"
    "The wrapper's __qualname__: pickled by reference, as functions are.";

// types.MethodType, for binding to an instance; a static type, looked up once.
OnceCell g_method_type;

Outcome method_type() noexcept {
  return g_method_type.get([] {
    Ref types = Ref::steal(PyImport_ImportModule("types"));
    if (!types) return Outcome::capture();
    return Outcome::from(PyObject_GetAttrString(types.get(), "MethodType"));
  });
}

// The unwrap failure is pending. It is handed to early() as the exception
// being handled, so that one raised there has it as its __context__.
Outcome unwrap_failed(const Propagated* p) noexcept {
  Fetched failure = Fetched::take();
  Ref early;
  {
    Handling handling(failure);
    early = Ref::steal(PyObject_CallFunctionObjArgs(p->early, failure.value(), nullptr));
  }
  if (!early) return Outcome::capture();
  if (early.get() == Py_None) return Outcome::exception(std::move(failure));
  return Outcome::value(std::move(early));
}

Outcome call(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  const Propagated* p = as_propagated(self);
  if (OSTREL_UNLIKELY(p->fn == nullptr)) {
    return Outcome::raise(PyExc_RuntimeError, "this propagate wrapper was cleared by the garbage collector");
  }
  Ref returned = Ref::steal(PyObject_Call(p->fn, args, kwargs));
  if (OSTREL_LIKELY(returned)) {
    if (OSTREL_LIKELY(!is_type(returned.get(), variants().err))) return Outcome::value(std::move(returned));
    return Outcome::from(PyObject_CallMethodObjArgs(returned.get(), variants().traced_name, p->site, nullptr));
  }
  if (!PyErr_ExceptionMatches(p->caught)) return Outcome::capture();
  return unwrap_failed(p);
}

PyObject* tp_call(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  return entry::finish(call(self, args, kwargs));
}

// Read from a class, the wrapper itself; from an instance, a bound method.
// A call through the instance (obj.method(...)) binds nothing: the class is a
// method descriptor, so the interpreter calls the wrapper with obj first.
Outcome bind(PyObject* self, PyObject* obj) noexcept {
  if (obj == nullptr || obj == Py_None) return Outcome::same(self);
  Outcome type = method_type();
  if (!type.is_value()) return type;
  return Outcome::from(PyObject_CallFunctionObjArgs(type.peek(), self, obj, nullptr));
}

PyObject* descr_get(PyObject* self, PyObject* obj, PyObject* /*type*/) noexcept {
  return entry::finish(bind(self, obj));
}

Outcome repr(PyObject* self) noexcept {
  const Propagated* p = as_propagated(self);
  if (p->fn == nullptr) return Outcome::from(PyUnicode_FromString("<propagated (cleared)>"));
  return Outcome::from(PyUnicode_FromFormat("<propagated %R>", p->fn));
}

// __annotations__: the one set on the wrapper (functools.update_wrapper copies
// it before 3.14), else the wrapped function's, read only when asked for, as
// a function's own are on 3.14.
OnceCell g_annotations_name;

Outcome annotations_name() noexcept {
  return g_annotations_name.get([] { return Outcome::from(PyUnicode_InternFromString("__annotations__")); });
}

Outcome annotations(PyObject* self) noexcept {
  const Propagated* p = as_propagated(self);
  Outcome name = annotations_name();
  if (!name.is_value()) return name;
  if (p->dict != nullptr) {
    PyObject* own = PyDict_GetItemWithError(p->dict, name.peek());  // borrowed
    if (own != nullptr) return Outcome::same(own);
    if (PyErr_Occurred() != nullptr) return Outcome::capture();
  }
  if (p->fn == nullptr) return Outcome::raise(PyExc_AttributeError, "__annotations__");
  return Outcome::from(PyObject_GetAttr(p->fn, name.peek()));
}

PyObject* get_annotations(PyObject* self, void* /*closure*/) noexcept { return entry::finish(annotations(self)); }

int set_annotations(PyObject* self, PyObject* value, void* /*closure*/) noexcept {
  Outcome name = annotations_name();
  if (!name.is_value()) {
    name.restore();
    return -1;
  }
  Ref dict = Ref::steal(PyObject_GenericGetDict(self, nullptr));
  if (!dict) return -1;
  return value != nullptr ? PyDict_SetItem(dict.get(), name.peek(), value) : PyDict_DelItem(dict.get(), name.peek());
}

PyObject* reduce(PyObject* self, PyObject* /*ignored*/) noexcept {
  return PyObject_GetAttrString(self, "__qualname__");
}

Outcome construct(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  if (kwargs != nullptr && PyDict_Size(kwargs) != 0) {
    return Outcome::raise(PyExc_TypeError, "Propagated() takes no keyword arguments");
  }
  PyObject *fn = nullptr, *site = nullptr, *caught = nullptr, *early = nullptr;
  if (!PyArg_UnpackTuple(args, "Propagated", 4, 4, &fn, &site, &caught, &early)) return Outcome::capture();
  if (!PyCallable_Check(fn) || !PyCallable_Check(early)) {
    return Outcome::raise(PyExc_TypeError, "Propagated() takes a callable fn and early");
  }
  if (!PyUnicode_Check(site)) return Outcome::raise(PyExc_TypeError, "Propagated() takes a str site");
  if (PyType_Check(caught) == 0 || PyObject_IsSubclass(caught, PyExc_BaseException) != 1) {
    drop_pending();
    return Outcome::raise(PyExc_TypeError, "Propagated() takes an exception class to catch");
  }
  auto alloc = reinterpret_cast<allocfunc>(PyType_GetSlot(type, Py_tp_alloc));
  Ref self = Ref::steal(alloc(type, 0));  // zeroed, and tracked by the collector
  if (!self) return Outcome::capture();
  Propagated* p = as_propagated(self.get());
  p->fn = Ref::borrow(fn).release();
  p->site = Ref::borrow(site).release();
  p->caught = Ref::borrow(caught).release();
  p->early = Ref::borrow(early).release();
  return Outcome::value(std::move(self));
}

PyObject* tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return entry::finish(construct(type, args, kwargs));
}

int traverse(PyObject* self, visitproc visit, void* arg) noexcept {
  Py_VISIT(Py_TYPE(self));
  const Propagated* p = as_propagated(self);
  Py_VISIT(p->fn);
  Py_VISIT(p->site);
  Py_VISIT(p->caught);
  Py_VISIT(p->early);
  Py_VISIT(p->dict);
  return 0;
}

// fn first: a call that finds it null raises. The dict goes last: it holds
// __wrapped__, so a chain of wrappers is released through the dict's own
// deallocator, which the interpreter keeps from recursing too deep.
int clear(PyObject* self) noexcept {
  Propagated* p = as_propagated(self);
  Py_CLEAR(p->fn);
  Py_CLEAR(p->site);
  Py_CLEAR(p->caught);
  Py_CLEAR(p->early);
  Py_CLEAR(p->dict);
  return 0;
}

void dealloc(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  if (as_propagated(self)->weakrefs != nullptr) PyObject_ClearWeakRefs(self);
  clear(self);
  PyTypeObject* type = Py_TYPE(self);
  auto tp_free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  tp_free(self);
  Py_DECREF(type);
}

PyMethodDef g_methods[] = {
    {"__reduce__", reduce, METH_NOARGS, kReduceDoc},
    {nullptr, nullptr, 0, nullptr},
};

// The offsets are relative to the fields in the abi3t build (kMemberFlags says so).
using Placed = FieldsOf<Propagated>;
PyMemberDef g_members[] = {
    {"__dictoffset__", T_PYSSIZET, Placed::member(offsetof(Propagated, dict)), READONLY | Placed::kMemberFlags,
     nullptr},
    {"__weaklistoffset__", T_PYSSIZET, Placed::member(offsetof(Propagated, weakrefs)),
     READONLY | Placed::kMemberFlags, nullptr},
    {nullptr, 0, 0, 0, nullptr},
};

PyGetSetDef g_getset[] = {
    {"__dict__", PyObject_GenericGetDict, PyObject_GenericSetDict, nullptr, nullptr},
    {"__annotations__", get_annotations, set_annotations, nullptr, nullptr},
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

PyType_Slot g_slots[] = {
    {Py_tp_new, as_slot(tp_new)},
    {Py_tp_call, as_slot(tp_call)},
    {Py_tp_descr_get, as_slot(descr_get)},
    {Py_tp_repr, as_slot(&entry::unary<repr>)},
    {Py_tp_traverse, as_slot(traverse)},
    {Py_tp_clear, as_slot(clear)},
    {Py_tp_dealloc, as_slot(dealloc)},
    {Py_tp_methods, g_methods},
    {Py_tp_members, g_members},
    {Py_tp_getset, g_getset},
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {0, nullptr},
};

// Final (no subclasses), and a method descriptor: obj.method(...) calls the
// wrapper with obj as the first argument, with no bound method made.
PyType_Spec g_spec = {
    "ostrel._accel.Propagated",
    Placed::kBasicsize,
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_HAVE_GC | Py_TPFLAGS_METHOD_DESCRIPTOR,
    g_slots,
};

}  // namespace

Outcome add_propagated(PyObject* module) noexcept {
  Ref type = Ref::steal(PyType_FromSpec(&g_spec));
  if (!type) return Outcome::capture();
  Outcome placed = g_fields.settle(reinterpret_cast<PyTypeObject*>(type.get()));
  if (!placed.is_value()) return placed;
  if (PyModule_AddObject(module, "Propagated", type.get()) < 0) return Outcome::capture();
  (void)type.release();  // PyModule_AddObject took it
  return Outcome::same(Py_None);
}

}  // namespace ostrel::accel
