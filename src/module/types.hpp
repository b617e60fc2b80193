// The six classes: their definitions as data, and the process-wide cache of
// their type objects, created on first use and kept for the process.
#pragma once

#include "module/outcome.hpp"
#include "module/threads.hpp"

#include <cstddef>
#include <span>

namespace ostrel {

// The six classes. Result and Option also name their family (the caches
// of the companion lookups are kept per family).
enum class Cls : unsigned char { Result, Ok, Err, Option, Some, Nothing, count_ };
inline constexpr std::size_t kClassCount = static_cast<std::size_t>(Cls::count_);
// The base of Result and Option: `object`.
inline constexpr Cls kObject = Cls::count_;

// The instance layouts: fields after the object header.
enum class Layout : unsigned char {
  Empty,      // Result, Option
  Singleton,  // Nothing: no fields, one instance made by the module alone
  Value,      // Some, Ok: `value`
  Err,        // Err: `error`, `notes`, `trace`
};

// A class attribute, computed and stored on the type after it is created.
struct ClassAttr {
  const char* name;
  Outcome (*compute)();
};

// The most slots a class supplies itself (the builder adds six more), and
// the most class attributes.
inline constexpr std::size_t kMaxOwnSlots = 9;
inline constexpr std::size_t kMaxClassAttrs = 1;

// Everything needed to build one class with PyType_FromSpec. The layout
// decides the size, the GC flag, the allocator, the deallocator and the
// traversal.
struct ClassDef {
  Cls cls;
  const char* name;            // "Some"
  const char* qualified_name;  // "ostrel.option.Some": gives __module__ and __name__
  const char* doc;             // text signature, "--", then the body
  Cls base;                    // kObject for Result and Option
  Layout layout;
  bool subclassable;
  std::span<const PyType_Slot> slots;  // the class's own, in registration order
  PyMethodDef* methods;                // ends with kEndOfMethods
  PyGetSetDef* properties;             // ends with kEndOfProperties
  std::span<const ClassAttr> attrs;
};

template <std::size_t N>
constexpr std::span<const PyType_Slot> own_slots(const PyType_Slot (&slots)[N]) noexcept {
  static_assert(N <= kMaxOwnSlots, "raise kMaxOwnSlots");
  return slots;
}
template <std::size_t N>
constexpr std::span<const ClassAttr> class_attrs(const ClassAttr (&attrs)[N]) noexcept {
  static_assert(N <= kMaxClassAttrs, "raise kMaxClassAttrs");
  return attrs;
}

extern const ClassDef kResultClass;
extern const ClassDef kOkClass;
extern const ClassDef kErrClass;
extern const ClassDef kOptionClass;
extern const ClassDef kSomeClass;
extern const ClassDef kNothingClass;

const ClassDef& class_def(Cls c) noexcept;

namespace detail {
// Filled once a class is complete (type created and class attributes stored),
// with release; read with acquire where the type is used, relaxed where it
// is only compared with.
extern std::atomic<PyTypeObject*> g_complete[kClassCount];
PyTypeObject* type_object_slow(Cls c) noexcept;
}  // namespace detail

// The fallible lookup, used by the module's execution step: the type object
// (a new reference), or the creation error (a RuntimeError chained to its
// cause).
Outcome lookup_type(Cls c) noexcept;

// The lookup used by operations: a borrowed type object. A creation failure
// is reported as unraisable and null is returned; the caller then returns
// type_failure(c).
inline PyTypeObject* type_object(Cls c) noexcept {
  PyTypeObject* t = detail::g_complete[static_cast<std::size_t>(c)].load(std::memory_order_acquire);
  if (OSTREL_LIKELY(t != nullptr)) return t;
  return detail::type_object_slow(c);
}
Outcome type_failure(Cls c) noexcept;

// Whether `type` is the complete class `c`.
inline bool is_class(PyTypeObject* type, Cls c) noexcept {
  PyTypeObject* t = detail::g_complete[static_cast<std::size_t>(c)].load(std::memory_order_relaxed);
  return t != nullptr && type == t;
}
// Exact-type test; the variants are final, so this is isinstance().
inline bool is_a(PyObject* o, Cls c) noexcept { return is_class(Py_TYPE(o), c); }

}  // namespace ostrel
