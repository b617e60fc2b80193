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

// Where instances of `cls` hold their first field, if an instance built from
// a probe object holds that very object there, with room for `more` further
// fields; else 0. The fields follow the object header, or in the abi3t build
// sit where the class's type data does.
Py_ssize_t payload_offset(PyObject* cls, size_t more) noexcept {
#if OSTREL_ABI3T
  const Py_ssize_t room = PyType_GetTypeDataSize(reinterpret_cast<PyTypeObject*>(cls));
  if (room < 0) {
    drop_pending();
    return 0;
  }
  if (static_cast<size_t>(room) < (1 + more) * sizeof(PyObject*)) return 0;
#else
  Ref size = Ref::steal(PyObject_GetAttrString(cls, "__basicsize__"));
  if (!size) {
    drop_pending();
    return 0;
  }
  const Py_ssize_t basic = PyLong_AsSsize_t(size.get());
  if (basic == -1 && PyErr_Occurred() != nullptr) {
    drop_pending();
    return 0;
  }
  if (basic != static_cast<Py_ssize_t>(sizeof(PyObject) + (1 + more) * sizeof(PyObject*))) return 0;
#endif
  Ref probe = Ref::steal(PyList_New(0));
  if (!probe) {
    drop_pending();
    return 0;
  }
  Ref instance = Ref::steal(PyObject_CallFunctionObjArgs(cls, probe.get(), nullptr));
  if (!instance) {
    drop_pending();
    return 0;
  }
#if OSTREL_ABI3T
  const char* data = static_cast<char*>(PyObject_GetTypeData(instance.get(), reinterpret_cast<PyTypeObject*>(cls)));
  if (data == nullptr) {
    drop_pending();
    return 0;
  }
  const Py_ssize_t at = data - reinterpret_cast<char*>(instance.get());
#else
  const Py_ssize_t at = sizeof(PyObject);
#endif
  return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(instance.get()) + at) == probe.get() ? at : 0;
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
  const Py_ssize_t ok_at = payload_offset(ok.get(), 0);
  const Py_ssize_t some_at = payload_offset(some.get(), 0);
  const Py_ssize_t err_at = payload_offset(err.get(), 2);
  made->direct = ok_at != 0 && some_at == ok_at;
  made->direct_error = err_at != 0;
#if OSTREL_ABI3T
  made->value_at = ok_at;
  made->error_at = err_at;
#endif
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

// The object in the first field where the layout was checked to hold it
// there (borrowed), else the attribute `name` (a new reference, kept in
// `owner`).
PyObject* held(PyObject* o, bool direct, Py_ssize_t at, PyObject* name, Ref& owner) noexcept {
  if (OSTREL_LIKELY(direct)) return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(o) + at);
  owner = Ref::steal(PyObject_GetAttr(o, name));
  return owner.get();
}

}  // namespace

PyObject* payload(PyObject* single, Ref& owner) noexcept {
  const Variants& v = variants();
  return held(single, v.direct, v.value_at, v.value_name, owner);
}

PyObject* error_of(PyObject* err, Ref& owner) noexcept {
  const Variants& v = variants();
  return held(err, v.direct_error, v.error_at, v.error_name, owner);
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
