// Outcome: what every operation returns.
//
// Exactly one of: a value (a new reference), a scalar (truth value or hash),
// a Python exception (captured from the interpreter, or a type plus one
// argument made by the module), or an internal failure with a message.
// Operations never report their own failure through PyErr_*; the entry
// adapters are the only place where an Outcome turns back into the
// interpreter's error indicator.
#pragma once

#include "module/python.hpp"
#include "module/ref.hpp"

namespace ostrel {

class Outcome {
 public:
  enum class Kind : unsigned char { Value, Scalar, Captured, Raise, Internal };

  Outcome(const Outcome&) = delete;
  Outcome& operator=(const Outcome&) = delete;
  Outcome(Outcome&& o) noexcept
      : kind_(o.kind_), a_(o.a_), b_(o.b_), c_(o.c_), scalar_(o.scalar_) {
    o.kind_ = Kind::Scalar;
    o.a_ = o.b_ = o.c_ = nullptr;
  }
  Outcome& operator=(Outcome&& o) noexcept {
    if (this != &o) {
      clear();
      kind_ = o.kind_;
      a_ = o.a_;
      b_ = o.b_;
      c_ = o.c_;
      scalar_ = o.scalar_;
      o.kind_ = Kind::Scalar;
      o.a_ = o.b_ = o.c_ = nullptr;
    }
    return *this;
  }
  ~Outcome() {
    if (OSTREL_UNLIKELY(a_ != nullptr || b_ != nullptr || c_ != nullptr)) clear();
  }

  // Success with a new reference.
  static Outcome value(Ref v) noexcept { return Outcome(Kind::Value, v.release()); }
  // Success with a new reference to a borrowed object.
  static Outcome same(PyObject* borrowed) noexcept {
    Py_INCREF(borrowed);
    return Outcome(Kind::Value, borrowed);
  }
  // Success with a truth value or a hash.
  static Outcome scalar(Py_ssize_t s) noexcept {
    Outcome o(Kind::Scalar, nullptr);
    o.scalar_ = s;
    return o;
  }
  static Outcome boolean(bool b) noexcept { return same(b ? Py_True : Py_False); }
  static Outcome not_implemented() noexcept { return same(Py_NotImplemented); }

  // The result of a C API call that returns a new reference or null with an
  // exception set.
  static Outcome from(PyObject* new_ref_or_null) noexcept {
    if (OSTREL_LIKELY(new_ref_or_null != nullptr)) return Outcome(Kind::Value, new_ref_or_null);
    return capture();
  }

  // Take the pending exception after a C API call reported failure.
  static Outcome capture() noexcept;
  // An already normalised exception triple (references are adopted).
  static Outcome captured(PyObject* type, PyObject* value, PyObject* tb) noexcept {
    Outcome o(Kind::Captured, type);
    o.b_ = value;
    o.c_ = tb;
    return o;
  }
  // Raise `type` with one text argument; the instance is made when raised.
  static Outcome raise(PyObject* type, const char* text) noexcept;
  static Outcome raise_format(PyObject* type, const char* format, ...) noexcept;
  // Raise an exception instance exactly as given, attaching nothing to it.
  static Outcome raise_instance(Ref instance) noexcept;

  // An internal failure: a condition the design rules out, detected anyway.
  static Outcome internal(const char* message) noexcept;
  static Outcome internal_format(const char* format, ...) noexcept;
  // A C API call that cannot fail in practice returned null.
  static Outcome internal_null() noexcept;

  bool is_value() const noexcept { return kind_ == Kind::Value || kind_ == Kind::Scalar; }
  Kind kind() const noexcept { return kind_; }
  PyObject* peek() const noexcept { return a_; }
  PyObject* release_value() noexcept {
    PyObject* v = a_;
    a_ = nullptr;
    return v;
  }
  Ref take() noexcept { return Ref::steal(release_value()); }
  Py_ssize_t scalar_value() const noexcept { return scalar_; }

  // Set this failure as the interpreter's current exception. Anything that
  // fails while doing so aborts the process: nothing unwinds into the
  // interpreter.
  void restore() noexcept;

 private:
  Outcome(Kind k, PyObject* a) noexcept : kind_(k), a_(a) {}
  void clear() noexcept;

  Kind kind_;
  PyObject* a_ = nullptr;  // value, exception type, or internal-failure message
  PyObject* b_ = nullptr;  // exception value or argument
  PyObject* c_ = nullptr;  // traceback
  Py_ssize_t scalar_ = 0;
};

// The process-wide class native_runtime.InternalFailure, created on first
// need; null (with an exception set) if it cannot be created.
PyObject* internal_failure_class() noexcept;

// Abort the process: a failure happened while reporting a failure.
[[noreturn]] void fatal(const char* what) noexcept;

}  // namespace ostrel
