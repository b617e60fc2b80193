#include "module/unwrap.hpp"

#include "module/companion.hpp"
#include "module/text.hpp"

namespace ostrel {

namespace {

Outcome raise_with(Cls family, PyObject* container, PyObject* msg) noexcept {
  Outcome cls = unwrap_error_class(family);
  if (!cls.is_value()) return cls;
  Ref instance = Ref::steal(PyObject_CallFunctionObjArgs(cls.peek(), container, msg, nullptr));
  if (!instance) return Outcome::capture();
  if (!PyExceptionInstance_Check(instance.get())) {
    // Raising a non-exception would corrupt the interpreter's error state.
    return Outcome::raise_format(PyExc_TypeError, "UnwrapError() returned %R, not an exception instance",
                                 instance.get());
  }
  return Outcome::raise_instance(std::move(instance));
}

}  // namespace

Outcome raise_unwrap(Cls family, PyObject* container) noexcept { return raise_with(family, container, nullptr); }

Outcome raise_unwrap(Cls family, PyObject* container, std::string_view msg) noexcept {
  Outcome text = exact_str(msg);
  if (!text.is_value()) return text;
  return raise_with(family, container, text.peek());
}

}  // namespace ostrel
