// The unwrap failure protocol, used by every raise site of both families.
#include "module/text.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

Outcome raise_with(Family family, PyObject* container, PyObject* msg) noexcept {
  Ref cls = unwrap_error_class(family);
  if (!cls) return Outcome::capture();
  Ref instance = Ref::steal(PyObject_CallFunctionObjArgs(cls.get(), container, msg, nullptr));
  if (!instance) return Outcome::capture();
  if (!PyExceptionInstance_Check(instance.get())) {
    // Raising a non-exception would corrupt the interpreter's error state.
    return Outcome::raise_format(PyExc_TypeError, "UnwrapError() returned %R, not an exception instance",
                                 instance.get());
  }
  return Outcome::raise_instance(std::move(instance));
}

}  // namespace

Outcome raise_unwrap(Family family, PyObject* container) noexcept {
  return raise_with(family, container, nullptr);
}

Outcome raise_unwrap(Family family, PyObject* container, std::string_view msg) noexcept {
  Outcome text = exact_str(msg);
  if (!text.is_value()) return text;
  return raise_with(family, container, text.peek());
}

}  // namespace ostrel
