// The module entry of ostrel._accel: native loops over many results or
// options, the base of UnwrapError and the propagate wrapper, for the
// companion package. Its execution step imports ostrel_core and caches the
// variant classes.
#include "accel/helpers.hpp"
#include "accel/propagated.hpp"
#include "accel/unwrap_error.hpp"
#include "accel/variants.hpp"
#include "module/entry.hpp"
#include "module/threads.hpp"

namespace ostrel::accel {

namespace {

template <Outcome (*Op)(PyObject*) noexcept>
PyObject* one_arg(PyObject* /*module*/, PyObject* arg) noexcept {
  return entry::finish(Op(arg));
}

constexpr const char kCollectDoc[] =
    "collect($module, results, /)\n--\n\n"
    "Ok(list of the values of the Oks), or the first Err itself; nothing after\n"
    "that Err is consumed. An item that is not an Ok or Err is a TypeError.";
constexpr const char kPartitionDoc[] =
    "partition($module, results, /)\n--\n\n"
    "(values of the Oks, the Err objects themselves), both lists in order.\n"
    "An item that is not an Ok or Err is a TypeError.";
constexpr const char kCollectOptionsDoc[] =
    "collect_options($module, options, /)\n--\n\n"
    "Some(list of the values of the Somes), or Nothing() at the first Nothing;\n"
    "nothing after it is consumed. An item that is not an option is a TypeError.";
constexpr const char kSomesDoc[] =
    "somes($module, options, /)\n--\n\n"
    "The list of the values of the Somes; Nothing items are skipped. An item\n"
    "that is not an option is a TypeError.";

PyMethodDef g_methods[] = {
    {"collect", as_cfunction(&one_arg<collect>), METH_O, kCollectDoc},
    {"partition", as_cfunction(&one_arg<partition>), METH_O, kPartitionDoc},
    {"collect_options", as_cfunction(&one_arg<collect_options>), METH_O, kCollectOptionsDoc},
    {"somes", as_cfunction(&one_arg<somes>), METH_O, kSomesDoc},
    {nullptr, nullptr, 0, nullptr},
};

Outcome exec_module(PyObject* module) noexcept {
  load_constants();
  Outcome loaded = load_variants();
  if (!loaded.is_value()) return loaded;
  Outcome added = add_unwrap_error_base(module);
  if (!added.is_value()) return added;
  return add_propagated(module);
}

int exec_slot(PyObject* module) noexcept {
  Ref done = Ref::steal(entry::finish(exec_module(module)));
  return done ? 0 : -1;
}

// The definition, as in ostrel_core's module entry: a PyModuleDef, or in the
// abi3t build the same as slots for the export hook of PEP 793.
constexpr const char kModuleDoc[] = "Native loops over many results or options; use them through ostrel.";

#if OSTREL_ABI3T
PyABIInfo_VAR(g_abi);

PySlot g_export[] = {
    PySlot_PTR_STATIC(Py_mod_abi, &g_abi),
    PySlot_PTR_STATIC(Py_mod_name, "ostrel._accel"),
    PySlot_PTR_STATIC(Py_mod_doc, kModuleDoc),
    PySlot_PTR_STATIC(Py_mod_methods, g_methods),
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
    "ostrel._accel",
    kModuleDoc,
    0,
    g_methods,
    g_slots,
    nullptr,
    nullptr,
    nullptr,
};
#endif

}  // namespace

}  // namespace ostrel::accel

#if OSTREL_ABI3T
PyMODEXPORT_FUNC PyModExport__accel(void) { return ostrel::accel::g_export; }
#else
PyMODINIT_FUNC PyInit__accel(void) { return PyModuleDef_Init(&ostrel::accel::g_definition); }
#endif
