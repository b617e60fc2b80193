// The module entry: PyInit_ostrel_core (PyModExport_ostrel_core in the abi3t
// build) and the one execution slot.
#include "module/entry.hpp"
#include "module/threads.hpp"
#include "module/names.hpp"
#include "module/types.hpp"
#include "module/variant.hpp"

#include <cstdint>

namespace ostrel {

namespace {

// Part of the published interface: compared by the companion package's
// version check, so it is kept word for word.
constexpr const char kModuleDoc[] =
    "BIND: __version__: str\n\nWHY: `ostrel._impl.native_active()` compares this against ostrel's own\n"
    "`__version__` (src/ostrel/_version.py) before trusting this extension;\nan ABI-coupled native "
    "module with a stale version is worse than no\nnative module, so the check must have something "
    "exact to compare.";

// A diagnostic rendering of a failure: its type, value and traceback.
Ref render(Outcome&& failure) {
  failure.restore();
  Fetched exc = Fetched::take();
  Ref tb = Ref::steal(exc.value() != nullptr ? PyException_GetTraceback(exc.value()) : nullptr);
  Ref text = Ref::steal(PyUnicode_FromFormat("%R: %R (traceback %R)", exc.type() ? exc.type() : Py_None,
                                             exc.value() ? exc.value() : Py_None, tb ? tb.get() : Py_None));
  if (!text) drop_pending();
  return text;
}

// `name = value` on the module, with `name` appended to __all__ (created on
// the first addition).
Outcome add_attribute(PyObject* module, const char* name, PyObject* value) {
  Outcome all_name = interned(Name::all);
  if (!all_name.is_value()) return all_name;
  Ref all = Ref::steal(PyObject_GetAttr(module, all_name.peek()));
  if (!all) {
    Fetched missing = Fetched::take();
    if (!missing.is(PyExc_AttributeError)) return Outcome::exception(std::move(missing));
    all = Ref::steal(PyList_New(0));
    if (!all) return Outcome::capture();
    if (PyObject_SetAttr(module, all_name.peek(), all.get()) < 0) return Outcome::capture();
  }
  Ref key = Ref::steal(PyUnicode_FromString(name));
  if (!key) return Outcome::internal_null();
  if (PyList_Append(all.get(), key.get()) < 0) {
    Ref why = render(Outcome::capture());
    if (!why) return Outcome::internal("could not append __name__ to __all__");
    return Outcome::internal_format("could not append __name__ to __all__: %U", why.get());
  }
  return Outcome::from_status(PyObject_SetAttr(module, key.get(), value));
}

// The classes and caches are per process, shared by nothing but the main
// interpreter (always the first, id 0); any other interpreter is refused, so
// a sub-interpreter that imports first cannot lock the main one out.
Outcome claim_interpreter() {
  const int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id < 0) return Outcome::capture();
  if (id == 0) return Outcome::ok();
  return Outcome::raise(PyExc_ImportError,
                        "ostrel_core does not support sub-interpreters; import it from the main "
                        "interpreter only");
}

Outcome exec_module(PyObject* module) {
  load_constants();
  Outcome claimed = claim_interpreter();
  if (!claimed.is_value()) return claimed;
  Ref version = Ref::steal(PyUnicode_FromString(OSTREL_VERSION));
  if (!version) return Outcome::capture();
  Outcome added = add_attribute(module, "__version__", version.get());
  if (!added.is_value()) return added;

  for (Cls c : {Cls::Result, Cls::Ok, Cls::Err, Cls::Option, Cls::Some, Cls::Nothing}) {
    Outcome type = lookup_type(c);
    if (!type.is_value()) return type;
    Outcome o = add_attribute(module, class_def(c).name, type.peek());
    if (!o.is_value()) return o;
  }
  check_pair_hash();
  return Outcome::ok();
}

int exec_slot(PyObject* module) noexcept {
  Outcome o = exec_module(module);
  if (o.is_value()) return 0;
  o.restore();
  return -1;
}

// The module's definition. The builds that see the object header have a
// PyModuleDef, made ready by PyInit_ostrel_core; the abi3t build, which does
// not, exports the same definition as slots through its export hook (PEP 793),
// with the ABI it was built for, and declares that it needs no GIL.
#if OSTREL_ABI3T
PyABIInfo_VAR(g_abi);

PySlot g_export[] = {
    PySlot_PTR_STATIC(Py_mod_abi, &g_abi),
    PySlot_PTR_STATIC(Py_mod_name, "ostrel_core"),
    PySlot_PTR_STATIC(Py_mod_doc, kModuleDoc),
    PySlot_PTR(Py_mod_exec, exec_slot),
    PySlot_PTR(Py_mod_gil, Py_MOD_GIL_NOT_USED),
    PySlot_END,
};
#else
PyModuleDef_Slot g_slots[] = {
    {Py_mod_exec, reinterpret_cast<void*>(exec_slot)},
    OSTREL_NO_GIL_SLOT{0, nullptr},
};

PyModuleDef g_definition = {
    PyModuleDef_HEAD_INIT,
    "ostrel_core",
    kModuleDoc,
    0,
    nullptr,
    g_slots,
    nullptr,
    nullptr,
    nullptr,
};
#endif

}  // namespace

}  // namespace ostrel

#if OSTREL_ABI3T
PyMODEXPORT_FUNC PyModExport_ostrel_core(void) { return ostrel::g_export; }
#else
PyMODINIT_FUNC PyInit_ostrel_core(void) { return PyModuleDef_Init(&ostrel::g_definition); }
#endif
