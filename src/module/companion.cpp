#include "module/companion.hpp"

#include "module/names.hpp"
#include "module/once.hpp"

namespace ostrel {

namespace {

// Import `module` through the interpreter's ordinary import (which reuses an
// already imported module) and read one attribute.
Outcome import_attribute(const char* module, Name attribute) noexcept {
  Ref module_name = Ref::steal(PyUnicode_FromString(module));
  if (!module_name) return Outcome::capture();
  Ref mod = Ref::steal(PyImport_Import(module_name.get()));
  if (!mod) return Outcome::capture();
  Outcome name = interned(attribute);
  if (!name.is_value()) return name;
  return Outcome::from(PyObject_GetAttr(mod.get(), name.peek()));
}

Outcome import_class(const char* module, Name attribute) noexcept {
  Outcome cls = import_attribute(module, attribute);
  if (cls.is_value() && !PyType_Check(cls.peek())) {
    Outcome name = interned(attribute);
    if (!name.is_value()) return name;
    return Outcome::raise_format(PyExc_TypeError, "%s.%U is not a class", module, name.peek());
  }
  return cls;
}

OnceCell g_unwrap_error[2];
OnceCell g_generic_alias[2];

OnceCell& per_family(OnceCell (&cells)[2], Cls family) noexcept { return cells[family == Cls::Option ? 1 : 0]; }

}  // namespace

Outcome unwrap_error_class(Cls family) noexcept {
  return per_family(g_unwrap_error, family).get([] { return import_class("ostrel._exceptions", Name::unwrap_error); });
}

Outcome generic_alias_class(Cls family) noexcept {
  return per_family(g_generic_alias, family).get([] { return import_class("types", Name::generic_alias); });
}

Outcome rebuild_err_function() noexcept { return import_attribute("ostrel.result", Name::rebuild_err); }

Outcome deepcopy_function() noexcept { return import_attribute("copy", Name::deepcopy); }

}  // namespace ostrel
