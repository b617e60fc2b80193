#include "module/types.hpp"

#include "module/storage.hpp"

#include <array>

namespace ostrel {

namespace detail {
std::atomic<PyTypeObject*> g_complete[kClassCount] = {};
}  // namespace detail

namespace {

// A thread that is storing a class's attributes; the node lives on that
// thread's stack for the duration.
struct Storer {
  unsigned long thread;
  Storer* next;
};

// Per class: the created type object, and who is storing its class
// attributes. Every read and write holds g_state_lock (with the GIL, the GIL
// alone serialises them); no Python code runs while it is held, except the
// stores of the attributes themselves, into a class only the module knows.
struct ClassState {
  PyTypeObject* created = nullptr;
  bool attrs_stored = false;
  Storer* storing = nullptr;
};

ClassState g_state[kClassCount];
Lock g_state_lock;

// The slots the builder adds after the class's own: doc, methods,
// properties, base, dealloc, traverse, alloc, and the terminator.
constexpr std::size_t kBuilderSlots = 8;

// A new RuntimeError carrying `text` whose __cause__ is the failure.
Outcome wrapped(Outcome&& failure, const char* format, const char* a, const char* b = nullptr) {
  failure.restore();
  Fetched cause = Fetched::take();
  Ref text = Ref::steal(PyUnicode_FromFormat(format, a, b));
  if (!text) return Outcome::capture();
  Ref wrapper = Ref::steal(PyObject_CallFunctionObjArgs(PyExc_RuntimeError, text.get(), nullptr));
  if (!wrapper) return Outcome::capture();
  if (cause.value() != nullptr) {
    Py_INCREF(cause.value());
    PyException_SetCause(wrapper.get(), cause.value());  // steals the new reference
  }
  return Outcome::raise_instance(std::move(wrapper));
}

Outcome create(const ClassDef& def) {
  Ref base = Ref::borrow(reinterpret_cast<PyObject*>(&PyBaseObject_Type));
  if (def.base != kObject) {
    Outcome b = lookup_type(def.base);
    if (!b.is_value()) return b;
    base = b.take();
  }
  const Allocation a = allocation(def.cls, def.layout);
  std::array<PyType_Slot, kMaxOwnSlots + kBuilderSlots> slots{};
  std::size_t n = 0;
  if (def.doc != nullptr && def.doc[0] != '\0') slots[n++] = {Py_tp_doc, const_cast<char*>(def.doc)};
  for (const PyType_Slot& s : def.slots) slots[n++] = s;
  slots[n++] = {Py_tp_methods, def.methods};
  slots[n++] = {Py_tp_getset, def.properties};
  slots[n++] = {Py_tp_base, base.get()};
  slots[n++] = {Py_tp_dealloc, reinterpret_cast<void*>(a.dealloc)};
  if (a.traverse != nullptr) slots[n++] = {Py_tp_traverse, reinterpret_cast<void*>(a.traverse)};
  if (a.alloc != nullptr) slots[n++] = {Py_tp_alloc, reinterpret_cast<void*>(a.alloc)};
  slots[n] = {0, nullptr};

  // The full name is a string literal, valid for the life of the process, so
  // interpreters that keep pointing at it (3.10) are served too.
  const unsigned int flags = (def.subclassable ? Py_TPFLAGS_BASETYPE : 0U) | a.flags;
  PyType_Spec spec{def.qualified_name, a.basicsize, 0, flags, slots.data()};
  Outcome made = Outcome::from(PyType_FromSpec(&spec));
  if (!made.is_value()) return made;
  Outcome placed = place_fields(reinterpret_cast<PyTypeObject*>(made.peek()), def.layout);
  if (!placed.is_value()) return placed;
  return made;
}

// Compute and store the class attributes once. A thread that re-enters the
// lookup while it is storing them gets the type at once. Other threads do
// not wait: they compute the values too, and the first to store wins.
Outcome store_attrs(const ClassDef& def, PyTypeObject* type) {
  ClassState& st = g_state[static_cast<std::size_t>(def.cls)];
  Storer self{PyThread_get_thread_ident(), nullptr};
  {
    Locked held(g_state_lock);
    if (st.attrs_stored) return Outcome::ok();
    for (const Storer* s = st.storing; s != nullptr; s = s->next) {
      if (s->thread == self.thread) return Outcome::ok();
    }
    self.next = st.storing;
    st.storing = &self;
  }
  struct Unlink {
    ClassState& st;
    Storer* self;
    ~Unlink() {
      Locked held(g_state_lock);
      for (Storer** p = &st.storing; *p != nullptr; p = &(*p)->next) {
        if (*p == self) {
          *p = self->next;
          break;
        }
      }
    }
  } unlink{st, &self};

  std::array<Ref, kMaxClassAttrs> values;
  for (std::size_t i = 0; i < def.attrs.size(); ++i) {
    Outcome v = def.attrs[i].compute();
    if (!v.is_value()) {
      return wrapped(std::move(v), "An error occurred while initializing `%s.%s`", def.name, def.attrs[i].name);
    }
    values[i] = v.take();
  }
  Locked held(g_state_lock);
  if (st.attrs_stored) return Outcome::ok();
  for (std::size_t i = 0; i < def.attrs.size(); ++i) {
    Outcome set = Outcome::from_status(
        PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), def.attrs[i].name, values[i].get()));
    if (!set.is_value()) return wrapped(std::move(set), "An error occurred while initializing `%s.__dict__`", def.name);
  }
  st.attrs_stored = true;
  return Outcome::ok();
}

Outcome lookup(Cls c) {
  const ClassDef& def = class_def(c);
  ClassState& st = g_state[static_cast<std::size_t>(c)];
  PyTypeObject* created = nullptr;
  {
    Locked held(g_state_lock);
    created = st.created;
  }
  if (created == nullptr) {
    Outcome made = create(def);
    if (!made.is_value()) return made;
    // The first stored type object wins, and is kept forever.
    Locked held(g_state_lock);
    if (st.created == nullptr) {
      st.created = reinterpret_cast<PyTypeObject*>(made.take().release());
      keep_forever(reinterpret_cast<PyObject*>(st.created));
    }
    created = st.created;
  }
  Outcome stored = store_attrs(def, created);
  if (!stored.is_value()) return stored;
  {
    Locked held(g_state_lock);
    if (st.attrs_stored) detail::g_complete[static_cast<std::size_t>(c)].store(created, std::memory_order_release);
  }
  return Outcome::same(reinterpret_cast<PyObject*>(created));
}

}  // namespace

const ClassDef& class_def(Cls c) noexcept {
  switch (c) {
    case Cls::Result: return kResultClass;
    case Cls::Ok: return kOkClass;
    case Cls::Err: return kErrClass;
    case Cls::Option: return kOptionClass;
    case Cls::Some: return kSomeClass;
    case Cls::Nothing:
    case Cls::count_: break;
  }
  return kNothingClass;
}

Outcome lookup_type(Cls c) noexcept {
  if (PyTypeObject* t = detail::g_complete[static_cast<std::size_t>(c)].load(std::memory_order_acquire)) {
    return Outcome::same(reinterpret_cast<PyObject*>(t));
  }
  Outcome t = lookup(c);
  if (t.is_value()) return t;
  return wrapped(std::move(t), "An error occurred while initializing class %s", class_def(c).name);
}

namespace detail {
PyTypeObject* type_object_slow(Cls c) noexcept {
  Outcome t = lookup_type(c);
  if (!t.is_value()) {
    t.restore();
    PyErr_WriteUnraisable(nullptr);
    return nullptr;
  }
  return reinterpret_cast<PyTypeObject*>(t.peek());  // kept alive by the cache
}
}  // namespace detail

Outcome type_failure(Cls c) noexcept {
  return Outcome::internal_format("failed to create type object for `%s`", class_def(c).name);
}

}  // namespace ostrel
