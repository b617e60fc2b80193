#include "module/fetched.hpp"

namespace ostrel {

Fetched Fetched::take() noexcept {
  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  if (type == nullptr) return {};
  PyErr_NormalizeException(&type, &value, &tb);
  // Before 3.12 the traceback travels beside the instance; attach it, so
  // that code receiving the instance sees where it was raised.
  if (tb != nullptr && value != nullptr) PyException_SetTraceback(value, tb);
  return adopt(type, value, tb);
}

bool Fetched::is_ordinary() const noexcept {
  return is(PyExc_Exception) && !is(PyExc_RecursionError) && !is(PyExc_MemoryError);
}

void Fetched::restore() noexcept {
  PyErr_Restore(type_, value_, tb_);
  type_ = value_ = tb_ = nullptr;
}

Handling::Handling(const Fetched& exc) noexcept {
  PyErr_GetExcInfo(&saved_type_, &saved_value_, &saved_tb_);
  Py_XINCREF(exc.type());
  Py_XINCREF(exc.value());
  PyObject* tb = exc.value() != nullptr ? PyException_GetTraceback(exc.value()) : nullptr;
  PyErr_SetExcInfo(exc.type(), exc.value(), tb);  // steals all three
}

Handling::~Handling() { PyErr_SetExcInfo(saved_type_, saved_value_, saved_tb_); }

}  // namespace ostrel
