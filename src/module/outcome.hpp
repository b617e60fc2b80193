// Outcome: what every operation and every helper of the module returns.
//
// Exactly one of: a value (a new reference), a scalar (a truth value, a hash,
// or plain success), an exception (taken from the interpreter, or an
// instance the module made), a raise of an exception type with one argument
// (the interpreter makes the instance when it is raised), or an internal
// failure with a message. Operations never leave an exception pending in the
// interpreter; the entry adapters are the only place where an Outcome turns
// back into the interpreter's error indicator.
#pragma once

#include "module/fetched.hpp"
#include "module/ref.hpp"

namespace ostrel {

class Outcome {
 public:
  enum class Kind : unsigned char { Value, Scalar, Exception, Raise, Internal };

  Outcome(const Outcome&) = delete;
  Outcome& operator=(const Outcome&) = delete;
  OSTREL_ALWAYS_INLINE Outcome(Outcome&& o) noexcept
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
  OSTREL_ALWAYS_INLINE ~Outcome() {
    if (OSTREL_UNLIKELY(a_ != nullptr || b_ != nullptr || c_ != nullptr)) clear();
  }

  // Success with a new reference.
  static Outcome value(Ref v) noexcept { return Outcome(Kind::Value, v.release()); }
  // Success with a new reference to a borrowed object.
  static Outcome same(PyObject* borrowed) noexcept {
    Py_INCREF(borrowed);
    return Outcome(Kind::Value, borrowed);
  }
  // Success with a truth value or a hash; ok() for success with nothing to return.
  static Outcome scalar(Py_ssize_t s) noexcept {
    Outcome o(Kind::Scalar, nullptr);
    o.scalar_ = s;
    return o;
  }
  static Outcome ok() noexcept { return scalar(0); }
  static Outcome boolean(bool b) noexcept { return constant(b ? Py_True : Py_False); }
  static Outcome not_implemented() noexcept { return constant(Py_NotImplemented); }
  // Success with None, False, True or NotImplemented, counted where the build
  // counts them (kCountConstants).
  static Outcome constant(PyObject* c) noexcept {
    if constexpr (kCountConstants) Py_INCREF(c);
    return Outcome(Kind::Value, c);
  }

  // The result of a C API call that returns a new reference, or null with an
  // exception set.
  static Outcome from(PyObject* new_ref_or_null) noexcept {
    if (OSTREL_LIKELY(new_ref_or_null != nullptr)) return Outcome(Kind::Value, new_ref_or_null);
    return capture();
  }
  // The result of a C API call that returns 0 on success or -1 with an
  // exception set.
  static Outcome from_status(int status) noexcept { return status < 0 ? capture() : ok(); }

  // Take the pending exception after a C API call reported failure.
  static Outcome capture() noexcept;
  static Outcome exception(Fetched&& exc) noexcept;
  // Raise `type` with one text argument; the instance is made when raised.
  static Outcome raise(PyObject* type, const char* text) noexcept;
  static Outcome raise_format(PyObject* type, const char* format, ...) noexcept;
  // Raise an exception instance exactly as given, attaching nothing to it.
  static Outcome raise_instance(Ref instance) noexcept;

  // An internal failure: a condition the design rules out, detected anyway.
  // If even its message cannot be made, the MemoryError that says so is the
  // outcome instead.
  static Outcome internal(const char* message) noexcept;
  static Outcome internal_format(const char* format, ...) noexcept;
  // A C API call that cannot fail in practice (making a small str or tuple)
  // returned null. Out of memory is reported as the MemoryError itself.
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
  // The exception instance of an Exception outcome (borrowed), else null.
  PyObject* exception_value() const noexcept { return kind_ == Kind::Exception ? b_ : nullptr; }

  // Set this failure as the interpreter's current exception.
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

// Abort the process: the module's own invariants are broken.
[[noreturn]] void fatal(const char* what) noexcept;

}  // namespace ostrel
