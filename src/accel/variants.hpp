// The four variant classes of ostrel_core, as the helpers of ostrel._accel
// see them: cached once from the imported module, tested by exact type (the
// variants are final), and their single payload read without a Python call
// where the instance layout has been checked to allow it.
#pragma once

#include "module/outcome.hpp"

namespace ostrel::accel {

struct Variants {
  PyObject* ok = nullptr;
  PyObject* err = nullptr;
  PyObject* some = nullptr;
  PyObject* nothing = nullptr;
  // True when the payload of an Ok or Some sits in the first field of the
  // instance (checked on a probe instance at load).
  bool direct = false;
  // True when the error of an Err sits in the first field of its instance.
  bool direct_error = false;
  // Where those first fields are: after the object header, or in the abi3t
  // build where the classes' type data is (measured on the probes).
#if OSTREL_ABI3T
  Py_ssize_t value_at = 0;
  Py_ssize_t error_at = 0;
#else
  static constexpr Py_ssize_t value_at = sizeof(PyObject);
  static constexpr Py_ssize_t error_at = sizeof(PyObject);
#endif
  // The attribute names read where the layout is not the expected one.
  PyObject* value_name = nullptr;
  PyObject* error_name = nullptr;
  // Err.traced, called by the propagate wrapper on every Err it returns.
  PyObject* traced_name = nullptr;
};

// The cached classes; filled by load_variants() before any helper runs.
const Variants& variants() noexcept;

// Import ostrel_core and fill the cache (kept for the process, like the
// classes themselves). Idempotent.
Outcome load_variants() noexcept;

inline bool is_type(PyObject* obj, PyObject* cls) noexcept {
  return reinterpret_cast<PyObject*>(Py_TYPE(obj)) == cls;
}

// A borrowed reference to the payload of an Ok or Some (exact type checked by
// the caller), or a new one in `owner` when it had to be looked up; null with
// an exception set on failure. Borrowing spares a reference count that every
// thread reading a shared value would otherwise write.
PyObject* payload(PyObject* single, Ref& owner) noexcept;

// A borrowed reference to the error of an Err (exact type checked by the
// caller), or a new one in `owner` when it had to be looked up; null with an
// exception set on failure.
PyObject* error_of(PyObject* err, Ref& owner) noexcept;

// The TypeError for an item at `index` that is not one of the two expected
// variants: "<fn>() item <index> is <qualname>, not <expected>".
Outcome wrong_item(const char* fn, Py_ssize_t index, PyObject* item, const char* expected) noexcept;

}  // namespace ostrel::accel
