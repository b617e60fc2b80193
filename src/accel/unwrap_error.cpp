// The base class of ostrel.UnwrapError. Its only work is at construction:
// when the container is an Err whose error is an exception, that exception
// becomes the UnwrapError's __cause__, so that a traceback shows the original
// failure. Written natively so that raising stays as cheap as raising a
// built-in exception.
#include "accel/unwrap_error.hpp"

#include "accel/variants.hpp"
#include "module/entry.hpp"

namespace ostrel::accel {

namespace {

constexpr const char kDoc[] =
    "Base of ostrel.UnwrapError: sets the cause to the error of an Err container\n"
    "when that error is an exception.";

// BaseException's tp_new has already stored `args`; only the cause is added.
Outcome set_cause(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  if (kwargs != nullptr && PyDict_Size(kwargs) != 0) {
    return Outcome::raise(PyExc_TypeError, "UnwrapError() takes no keyword arguments");
  }
  if (PyTuple_Size(args) < 1) return Outcome::same(Py_None);
  PyObject* container = PyTuple_GetItem(args, 0);
  if (container == nullptr) return Outcome::capture();
  if (!is_type(container, variants().err)) return Outcome::same(Py_None);
  Ref owner;
  PyObject* error = error_of(container, owner);
  if (error == nullptr) return Outcome::capture();
  if (PyExceptionInstance_Check(error)) {
    Py_INCREF(error);
    PyException_SetCause(self, error);  // steals the reference
  }
  return Outcome::same(Py_None);
}

int init(PyObject* self, PyObject* args, PyObject* kwargs) noexcept {
  Ref done = Ref::steal(entry::finish(set_cause(self, args, kwargs)));
  return done ? 0 : -1;
}

PyType_Slot g_slots[] = {
    {Py_tp_init, reinterpret_cast<void*>(init)},
    {Py_tp_doc, const_cast<char*>(kDoc)},
    {0, nullptr},
};

PyType_Spec g_spec = {
    "ostrel._accel.UnwrapErrorBase",
    0,
    0,
    Py_TPFLAGS_DEFAULT | Py_TPFLAGS_BASETYPE,
    g_slots,
};

}  // namespace

Outcome add_unwrap_error_base(PyObject* module) noexcept {
  Ref bases = Ref::steal(PyTuple_Pack(1, PyExc_Exception));
  if (!bases) return Outcome::capture();
  Ref type = Ref::steal(PyType_FromSpecWithBases(&g_spec, bases.get()));
  if (!type) return Outcome::capture();
  if (PyModule_AddObject(module, "UnwrapErrorBase", type.get()) < 0) return Outcome::capture();
  (void)type.release();  // PyModule_AddObject took it
  return Outcome::same(Py_None);
}

}  // namespace ostrel::accel
