#include "accel/variants.hpp"

#include <atomic>

namespace ostrel::accel {

namespace {

// The cache, owned for the life of the process like the classes it points
// to; never released, so nothing runs at exit after the interpreter is gone.
// Filled completely, then published with release; the helpers read it with
// acquire. Two imports racing to fill it each make one, and the loser drops
// its own.
std::atomic<const Variants*> g_variants{nullptr};

PyObject* class_of(PyObject* module, const char* name) noexcept {
  PyObject* cls = PyObject_GetAttrString(module, name);
  if (cls != nullptr && !PyType_Check(cls)) {
    Py_DECREF(cls);
    PyErr_Format(PyExc_ImportError, "ostrel_core.%s is not a class", name);
    return nullptr;
  }
  return cls;
}

// Whether an instance of `cls` built from a probe object holds that very
// object in the slot after its header, followed by `more` further slots.
bool payload_is_first_slot(PyObject* cls, size_t more) noexcept {
  Ref size = Ref::steal(PyObject_GetAttrString(cls, "__basicsize__"));
  if (!size) {
    drop_pending();
    return false;
  }
  const Py_ssize_t basic = PyLong_AsSsize_t(size.get());
  if (basic == -1 && PyErr_Occurred() != nullptr) {
    drop_pending();
    return false;
  }
  if (basic != static_cast<Py_ssize_t>(sizeof(PyObject) + (1 + more) * sizeof(PyObject*))) return false;
  Ref probe = Ref::steal(PyList_New(0));
  if (!probe) {
    drop_pending();
    return false;
  }
  Ref instance = Ref::steal(PyObject_CallFunctionObjArgs(cls, probe.get(), nullptr));
  if (!instance) {
    drop_pending();
    return false;
  }
  auto* slot = reinterpret_cast<PyObject**>(reinterpret_cast<char*>(instance.get()) + sizeof(PyObject));
  return *slot == probe.get();
}

}  // namespace

const Variants& variants() noexcept { return *g_variants.load(std::memory_order_acquire); }

Outcome load_variants() noexcept {
  if (g_variants.load(std::memory_order_acquire) != nullptr) return Outcome::same(Py_None);
  Ref core = Ref::steal(PyImport_ImportModule("ostrel_core"));
  if (!core) return Outcome::capture();
  Ref ok = Ref::steal(class_of(core.get(), "Ok"));
  if (!ok) return Outcome::capture();
  Ref err = Ref::steal(class_of(core.get(), "Err"));
  if (!err) return Outcome::capture();
  Ref some = Ref::steal(class_of(core.get(), "Some"));
  if (!some) return Outcome::capture();
  Ref nothing = Ref::steal(class_of(core.get(), "Nothing"));
  if (!nothing) return Outcome::capture();
  Ref value_name = Ref::steal(PyUnicode_InternFromString("value"));
  if (!value_name) return Outcome::capture();
  Ref error_name = Ref::steal(PyUnicode_InternFromString("error"));
  if (!error_name) return Outcome::capture();
  Ref traced_name = Ref::steal(PyUnicode_InternFromString("traced"));
  if (!traced_name) return Outcome::capture();
  auto* made = static_cast<Variants*>(PyMem_Calloc(1, sizeof(Variants)));
  if (made == nullptr) return Outcome::from(PyErr_NoMemory());
  made->direct = payload_is_first_slot(ok.get(), 0) && payload_is_first_slot(some.get(), 0);
  made->direct_error = payload_is_first_slot(err.get(), 2);
  made->ok = ok.release();
  made->err = err.release();
  made->some = some.release();
  made->nothing = nothing.release();
  made->value_name = value_name.release();
  made->error_name = error_name.release();
  made->traced_name = traced_name.release();
  const Variants* expected = nullptr;
  if (!g_variants.compare_exchange_strong(expected, made, std::memory_order_acq_rel, std::memory_order_acquire)) {
    for (PyObject* o : {made->ok, made->err, made->some, made->nothing, made->value_name, made->error_name,
                        made->traced_name}) {
      Py_DECREF(o);
    }
    PyMem_Free(made);
  }
  return Outcome::same(Py_None);
}

namespace {

// The object in the first slot after the header where the layout was checked
// to hold it there (borrowed), else the attribute `name` (a new reference,
// kept in `owner`).
PyObject* held(PyObject* o, bool direct, PyObject* name, Ref& owner) noexcept {
  if (OSTREL_LIKELY(direct)) return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(o) + sizeof(PyObject));
  owner = Ref::steal(PyObject_GetAttr(o, name));
  return owner.get();
}

}  // namespace

PyObject* payload(PyObject* single, Ref& owner) noexcept {
  const Variants& v = variants();
  return held(single, v.direct, v.value_name, owner);
}

PyObject* error_of(PyObject* err, Ref& owner) noexcept {
  const Variants& v = variants();
  return held(err, v.direct_error, v.error_name, owner);
}

Outcome wrong_item(const char* fn, Py_ssize_t index, PyObject* item, const char* expected) noexcept {
  Ref name = Ref::steal(PyObject_GetAttrString(reinterpret_cast<PyObject*>(Py_TYPE(item)), "__qualname__"));
  if (!name || !PyUnicode_Check(name.get())) {
    drop_pending();
    name = Ref::steal(PyUnicode_FromString("an object of unknown type"));
    if (!name) return Outcome::capture();
  }
  return Outcome::raise_format(PyExc_TypeError, "%s() item %zd is %U, not %s", fn, index, name.get(),
                               expected);
}

}  // namespace ostrel::accel
