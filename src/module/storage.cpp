#include "module/storage.hpp"

namespace ostrel {

namespace detail {
PyObject* g_empty_tuple = nullptr;
}  // namespace detail

namespace {

newfunc g_object_new = nullptr;

// The type's own tp_free, then the instance's reference to its heap type.
void free_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  auto tp_free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  tp_free(self);
  Py_DECREF(type);
}

// The same for Some, Ok and Err: final classes with the GC flag, whose tp_free
// is PyObject_GC_Del, called directly on this hot path.
void free_variant(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  PyObject_GC_Del(self);
  Py_DECREF(type);
}

bool is_chain_link(PyObject* o) noexcept {
  return is_a(o, Cls::Some) || is_a(o, Cls::Ok) || is_a(o, Cls::Err);
}

// Release a payload. Where this holds the last reference to another variant,
// take that instance apart here and go on with its payload, instead of
// letting its deallocator recurse: a chain of a million nested values is
// released in constant stack depth.
void release_payload(PyObject* v) noexcept {
  while (Py_REFCNT(v) == 1 && is_chain_link(v)) {
    // Untrack first: once nothing can reach `v`, its other fields may run
    // arbitrary code as they are released.
    PyObject_GC_UnTrack(v);
    PyObject* next = nullptr;
    if (is_a(v, Cls::Err)) {
      ErrObject* e = as_err(v);
      next = e->error;
      PyObject* notes = e->notes;
      PyObject* trace = e->trace;
      free_variant(v);
      Py_DECREF(notes);
      Py_DECREF(trace);
    } else {
      next = value_of(v);
      free_variant(v);
    }
    v = next;
  }
  Py_DECREF(v);
}

}  // namespace

PyObject* empty_tuple() noexcept {
  if (detail::g_empty_tuple == nullptr) detail::g_empty_tuple = PyTuple_New(0);
  return detail::g_empty_tuple;
}

PyObject* allocate(PyTypeObject* type) noexcept {
  if (OSTREL_UNLIKELY(g_object_new == nullptr)) {
    g_object_new = reinterpret_cast<newfunc>(PyType_GetSlot(&PyBaseObject_Type, Py_tp_new));
    if (g_object_new == nullptr) return nullptr;
  }
  PyObject* args = empty_tuple();
  if (OSTREL_UNLIKELY(args == nullptr)) return nullptr;
  return g_object_new(type, args, nullptr);
}

bool may_close_cycle_slow(PyObject* o) noexcept {
  PyTypeObject* t = Py_TYPE(o);
  if (!(PyType_GetFlags(t) & Py_TPFLAGS_HAVE_GC)) return false;
  if (t == &PyTuple_Type) {
    const Py_ssize_t n = PyTuple_Size(o);
    for (Py_ssize_t i = 0; i < n; ++i) {
      PyObject* item = PyTuple_GetItem(o, i);
      if (PyType_GetFlags(Py_TYPE(item)) & Py_TPFLAGS_HAVE_GC) {
        if (!is_chain_link(item) || PyObject_GC_IsTracked(item)) return true;
      }
    }
    return false;
  }
  // Our own immutable variants that were left untracked hold nothing that
  // could close a cycle, now or later.
  if (is_chain_link(o)) return PyObject_GC_IsTracked(o) != 0;
  return true;
}

Outcome new_err_instance(Ref error, Ref notes, Ref trace) noexcept {
  PyTypeObject* type = type_object(Cls::Err);
  if (OSTREL_UNLIKELY(type == nullptr)) return type_failure(Cls::Err);
  PyObject* self = allocate(type);
  if (OSTREL_UNLIKELY(self == nullptr)) return Outcome::capture();
  ErrObject* e = as_err(self);
  e->error = error.release();
  e->notes = notes.release();
  e->trace = trace.release();
  track_if_needed(self, e->error, e->notes, e->trace);
  return Outcome::value(Ref::steal(self));
}

void dealloc_value(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  PyObject* value = value_of(self);
  free_variant(self);
  release_payload(value);
}

void dealloc_err(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  ErrObject* e = as_err(self);
  PyObject* error = e->error;
  PyObject* notes = e->notes;
  PyObject* trace = e->trace;
  free_variant(self);
  release_payload(error);
  Py_DECREF(notes);
  Py_DECREF(trace);
}

void dealloc_empty(PyObject* self) noexcept { free_instance(self); }

int traverse_value(PyObject* self, visitproc visit, void* arg) noexcept {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(value_of(self));
  return 0;
}

int traverse_err(PyObject* self, visitproc visit, void* arg) noexcept {
  Py_VISIT(Py_TYPE(self));
  ErrObject* e = as_err(self);
  Py_VISIT(e->error);
  Py_VISIT(e->notes);
  Py_VISIT(e->trace);
  return 0;
}

}  // namespace ostrel
