// Fetched: the one owner of an exception taken out of the interpreter, and
// Handling: the scope in which an exception counts as being handled.
//
// No other code fetches, normalises or restores the interpreter's pending
// exception by hand: it takes a Fetched, looks at it, and restores or drops
// it.
#pragma once

#include "module/python.hpp"

#include <utility>

namespace ostrel {

class Fetched {
 public:
  Fetched() noexcept = default;
  Fetched(const Fetched&) = delete;
  Fetched& operator=(const Fetched&) = delete;
  Fetched(Fetched&& o) noexcept
      : type_(std::exchange(o.type_, nullptr)),
        value_(std::exchange(o.value_, nullptr)),
        tb_(std::exchange(o.tb_, nullptr)) {}
  Fetched& operator=(Fetched&& o) noexcept {
    if (this != &o) {
      clear();
      type_ = std::exchange(o.type_, nullptr);
      value_ = std::exchange(o.value_, nullptr);
      tb_ = std::exchange(o.tb_, nullptr);
    }
    return *this;
  }
  ~Fetched() { clear(); }

  // Take the pending exception, normalised (the value is an instance) and
  // with its traceback attached to the instance, as an except clause sees
  // it. Empty when no exception is pending.
  static Fetched take() noexcept;
  // Adopt a triple that was taken before (references are stolen).
  static Fetched adopt(PyObject* type, PyObject* value, PyObject* tb) noexcept {
    Fetched f;
    f.type_ = type;
    f.value_ = value;
    f.tb_ = tb;
    return f;
  }

  explicit operator bool() const noexcept { return type_ != nullptr; }
  PyObject* type() const noexcept { return type_; }
  PyObject* value() const noexcept { return value_; }
  // True when the exception is an instance of `cls` (or of a class in a tuple).
  bool is(PyObject* cls) const noexcept { return PyErr_GivenExceptionMatches(type_, cls) != 0; }
  // An Exception that is neither a RecursionError nor a MemoryError: the
  // kind of failure that lenient code may swallow.
  bool is_ordinary() const noexcept;

  // Make it the interpreter's pending exception again; this becomes empty.
  void restore() noexcept;
  // Hand the triple over (for storage inside an Outcome).
  void release(PyObject** type, PyObject** value, PyObject** tb) noexcept {
    *type = std::exchange(type_, nullptr);
    *value = std::exchange(value_, nullptr);
    *tb = std::exchange(tb_, nullptr);
  }

 private:
  void clear() noexcept {
    Py_XDECREF(type_);
    Py_XDECREF(value_);
    Py_XDECREF(tb_);
    type_ = value_ = tb_ = nullptr;
  }
  PyObject* type_ = nullptr;
  PyObject* value_ = nullptr;
  PyObject* tb_ = nullptr;
};

// Drop the pending exception, if any: for failures the caller has decided
// to ignore (a lenient fallback, an optional note).
inline void drop_pending() noexcept { Fetched::take(); }

// While alive, the given exception is the one being handled (what
// sys.exc_info() returns), as inside an except clause: an exception raised
// meanwhile gets it as __context__, and a bare `raise` re-raises it. The
// previously handled exception comes back when the scope ends.
class Handling {
 public:
  explicit Handling(const Fetched& exc) noexcept;
  Handling(const Handling&) = delete;
  Handling& operator=(const Handling&) = delete;
  ~Handling();

 private:
  PyObject* saved_type_ = nullptr;
  PyObject* saved_value_ = nullptr;
  PyObject* saved_tb_ = nullptr;
};

}  // namespace ostrel
