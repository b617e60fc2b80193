#include "accel/variants.hpp"

namespace ostrel::accel {

namespace {

// Owned for the life of the process, like the classes they point to; never
// released, so nothing runs at exit after the interpreter is gone.
Variants g_variants;
PyObject* g_value_name = nullptr;
PyObject* g_error_name = nullptr;

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

const Variants& variants() noexcept { return g_variants; }

Outcome load_variants() noexcept {
  if (g_variants.ok != nullptr) return Outcome::same(Py_None);
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
  if (g_value_name == nullptr) {
    g_value_name = PyUnicode_InternFromString("value");
    if (g_value_name == nullptr) return Outcome::capture();
  }
  if (g_error_name == nullptr) {
    g_error_name = PyUnicode_InternFromString("error");
    if (g_error_name == nullptr) return Outcome::capture();
  }
  g_variants.direct = payload_is_first_slot(ok.get(), 0) && payload_is_first_slot(some.get(), 0);
  g_variants.direct_error = payload_is_first_slot(err.get(), 2);
  g_variants.err = err.release();
  g_variants.some = some.release();
  g_variants.nothing = nothing.release();
  g_variants.ok = ok.release();  // last: marks the cache as filled
  return Outcome::same(Py_None);
}

PyObject* payload(PyObject* single) noexcept {
  if (OSTREL_LIKELY(g_variants.direct)) {
    PyObject* value = *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(single) + sizeof(PyObject));
    Py_INCREF(value);
    return value;
  }
  return PyObject_GetAttr(single, g_value_name);
}

PyObject* error_of(PyObject* err, Ref& owner) noexcept {
  if (OSTREL_LIKELY(g_variants.direct_error)) {
    return *reinterpret_cast<PyObject**>(reinterpret_cast<char*>(err) + sizeof(PyObject));
  }
  owner = Ref::steal(PyObject_GetAttr(err, g_error_name));
  return owner.get();
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
