// Where a class's own fields sit in its instances: the part of the instance
// layout that differs between the builds.
//  - The abi3 and free-threaded builds see the object header. An instance of
//    a class with fields is one struct: the header (PyObject_HEAD), then the
//    fields. They are reached at a constant offset, and the class's basicsize
//    is the size of that struct.
//  - The abi3t build sees no header: PyObject is opaque, and its size differs
//    between interpreters with and without the GIL. A class asks for room for
//    its fields as type data (PEP 697: a negative basicsize, the fields' own
//    size), and the interpreter places them after what the base holds. All
//    instances of a class share one layout, so where the fields sit is
//    measured once, when the class is made (PyObject_GetTypeData on a blank
//    instance), and an access adds that offset: one load of a value that is
//    written before the class is used and only read after.
#pragma once

#include "module/outcome.hpp"

#include <atomic>
#include <cstddef>

namespace ostrel {

#if OSTREL_ABI3T
// The basicsize of a class that adds no fields to its base: the base's.
inline constexpr int kNoFieldsBasicsize = 0;

// Where instances of `type` hold its type data (a scalar outcome), which must
// have room for `size` bytes: measured on a blank instance, never tracked by
// the collector and never seen by anything else, then released as a
// deallocator releases one (freed by the class's tp_free, its reference to
// its heap type dropped).
inline Outcome type_data_offset(PyTypeObject* type, std::size_t size) noexcept {
  const Py_ssize_t room = PyType_GetTypeDataSize(type);
  if (room < 0) return Outcome::capture();
  if (static_cast<std::size_t>(room) < size) return Outcome::internal("a class has less room than its fields need");
  const bool collectable = (PyType_GetFlags(type) & Py_TPFLAGS_HAVE_GC) != 0;
  PyObject* blank = collectable ? _PyObject_GC_New(type) : _PyObject_New(type);
  if (blank == nullptr) return Outcome::capture();
  const char* data = static_cast<char*>(PyObject_GetTypeData(blank, type));
  const Py_ssize_t offset = data - reinterpret_cast<char*>(blank);
  reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free))(blank);
  Py_DECREF(type);
  return data != nullptr ? Outcome::scalar(offset) : Outcome::capture();
}
#else
inline constexpr int kNoFieldsBasicsize = static_cast<int>(sizeof(PyObject));
#endif

// The fields `Fields` of one class, or of several classes that hold them at
// the same place (checked as each is made).
template <class Fields>
class FieldsOf {
 public:
  constexpr FieldsOf() noexcept = default;
  FieldsOf(const FieldsOf&) = delete;
  FieldsOf& operator=(const FieldsOf&) = delete;

#if OSTREL_ABI3T
  static constexpr int kBasicsize = -static_cast<int>(sizeof(Fields));
  // A PyMemberDef's offset and flags for the field at `offset` in Fields.
  static constexpr Py_ssize_t member(std::size_t offset) noexcept { return static_cast<Py_ssize_t>(offset); }
  static constexpr int kMemberFlags = Py_RELATIVE_OFFSET;

  Fields* in(PyObject* self) const noexcept {
    return reinterpret_cast<Fields*>(reinterpret_cast<char*>(self) + offset_.load(std::memory_order_relaxed));
  }

  // Called once `type` is made, before it is used.
  Outcome settle(PyTypeObject* type) noexcept {
    Outcome found = type_data_offset(type, sizeof(Fields));
    if (!found.is_value()) return found;
    const Py_ssize_t measured = found.scalar_value();
    Py_ssize_t expected = 0;
    if (offset_.compare_exchange_strong(expected, measured, std::memory_order_relaxed) || expected == measured) {
      return Outcome::ok();
    }
    return Outcome::internal("classes that share a layout hold their fields at different offsets");
  }

 private:
  // 0 until the first class is made. Relaxed: it is stored before that class
  // is published to other threads (with release, looked up with acquire), and
  // read only through instances of it, which exist only once it is published.
  std::atomic<Py_ssize_t> offset_{0};
#else
  static constexpr int kBasicsize = static_cast<int>(sizeof(PyObject) + sizeof(Fields));
  static constexpr Py_ssize_t member(std::size_t offset) noexcept {
    return static_cast<Py_ssize_t>(sizeof(PyObject) + offset);
  }
  static constexpr int kMemberFlags = 0;

  static Fields* in(PyObject* self) noexcept { return &reinterpret_cast<Instance*>(self)->fields; }
  static Outcome settle(PyTypeObject* /*type*/) noexcept { return Outcome::ok(); }

 private:
  struct Instance {
    PyObject_HEAD
    Fields fields;
  };
  static_assert(sizeof(Instance) == sizeof(PyObject) + sizeof(Fields));
#endif
};

}  // namespace ostrel
