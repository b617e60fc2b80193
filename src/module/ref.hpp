// Ref: the owned-reference handle.
//
// A Ref owns exactly one reference (or none) and releases it when it goes out
// of scope. Where a reference comes from is said at its birth: Ref::steal()
// adopts a new reference returned by the C API, Ref::borrow() takes a new
// reference to an object somebody else owns. Plain PyObject* values are
// borrowed.
#pragma once

#include "module/python.hpp"

#include <utility>

namespace ostrel {

class Ref {
 public:
  Ref() noexcept = default;
  Ref(const Ref&) = delete;
  Ref& operator=(const Ref&) = delete;
  Ref(Ref&& other) noexcept : ptr_(other.ptr_) { other.ptr_ = nullptr; }
  Ref& operator=(Ref&& other) noexcept {
    if (this != &other) {
      PyObject* old = ptr_;
      ptr_ = other.ptr_;
      other.ptr_ = nullptr;
      Py_XDECREF(old);
    }
    return *this;
  }
  ~Ref() { Py_XDECREF(ptr_); }

  // Adopt a reference the caller owns (may be null after a failed C API call).
  static Ref steal(PyObject* owned) noexcept { return Ref(owned); }
  // Take a new reference to an object owned elsewhere.
  static Ref borrow(PyObject* borrowed) noexcept {
    Py_XINCREF(borrowed);
    return Ref(borrowed);
  }

  PyObject* get() const noexcept { return ptr_; }
  explicit operator bool() const noexcept { return ptr_ != nullptr; }
  // Hand the reference over to the caller.
  [[nodiscard]] PyObject* release() noexcept { return std::exchange(ptr_, nullptr); }

 private:
  explicit Ref(PyObject* p) noexcept : ptr_(p) {}
  PyObject* ptr_ = nullptr;
};

}  // namespace ostrel
