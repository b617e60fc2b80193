#include "module/companion.hpp"

#include "module/names.hpp"
#include "module/once.hpp"

namespace ostrel {

namespace {

// Import `module` through the interpreter's ordinary import (which reuses an
// already imported module) and read one attribute.
PyObject* import_attribute(const char* module, Name attribute) noexcept {
  Ref module_name = Ref::steal(PyUnicode_FromString(module));
  if (!module_name) return nullptr;
  Ref mod = Ref::steal(PyImport_Import(module_name.get()));
  if (!mod) return nullptr;
  PyObject* name = interned(attribute);
  if (name == nullptr) return nullptr;
  return PyObject_GetAttr(mod.get(), name);
}

PyObject* import_class(const char* module, Name attribute) noexcept {
  Ref cls = Ref::steal(import_attribute(module, attribute));
  if (!cls) return nullptr;
  if (!PyType_Check(cls.get())) {
    PyErr_Format(PyExc_TypeError, "%s.%U is not a class", module, interned(attribute));
    return nullptr;
  }
  return cls.release();
}

OnceCell g_unwrap_error[2];
OnceCell g_generic_alias[2];

}  // namespace

Ref unwrap_error_class(Family family) noexcept {
  return g_unwrap_error[static_cast<int>(family)].get(
      [] { return import_class("ostrel._exceptions", Name::unwrap_error); });
}

Ref generic_alias_class(Family family) noexcept {
  return g_generic_alias[static_cast<int>(family)].get(
      [] { return import_class("types", Name::generic_alias); });
}

Ref rebuild_err_function() noexcept {
  return Ref::steal(import_attribute("ostrel.result", Name::rebuild_err));
}

Ref deepcopy_function() noexcept { return Ref::steal(import_attribute("copy", Name::deepcopy)); }

}  // namespace ostrel
