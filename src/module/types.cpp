#include "module/types.hpp"

#include "module/ref.hpp"

#include <algorithm>
#include <array>
#include <mutex>
#include <thread>
#include <vector>

namespace ostrel {

namespace detail {
PyTypeObject* g_complete[static_cast<int>(Cls::count_)] = {};
}  // namespace detail

namespace {

// Per class: the created type object, and who is storing its class attributes.
struct ClassState {
  PyTypeObject* created = nullptr;
  bool attrs_stored = false;
  std::mutex mutex;  // guards `storing`; never held across a call into Python
  std::vector<std::thread::id> storing;
};

ClassState g_state[static_cast<int>(Cls::count_)];

// Replace the pending exception with a RuntimeError carrying `text` whose
// __cause__ is the exception that was pending.
void wrap_pending(PyObject* text) {
  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  PyErr_NormalizeException(&type, &value, &tb);
  if (value != nullptr && tb != nullptr) PyException_SetTraceback(value, tb);
  Py_XDECREF(type);
  Py_XDECREF(tb);
  if (text == nullptr) {
    Py_XDECREF(value);
    return;
  }
  PyObject* wrapper = PyObject_CallFunctionObjArgs(PyExc_RuntimeError, text, nullptr);
  if (wrapper == nullptr) {
    Py_XDECREF(value);
    return;
  }
  PyException_SetCause(wrapper, value);  // steals `value`
  PyObject* wrapper_type = reinterpret_cast<PyObject*>(Py_TYPE(wrapper));
  Py_INCREF(wrapper_type);
  PyErr_Restore(wrapper_type, wrapper, nullptr);
}

void wrap_pending_format(const char* format, const char* a, const char* b = nullptr) {
  Ref text = Ref::steal(PyUnicode_FromFormat(format, a, b));
  wrap_pending(text.get());
}

PyTypeObject* create(Cls c) {
  const ClassDef& def = class_def(c);
  PyObject* base = reinterpret_cast<PyObject*>(&PyBaseObject_Type);
  if (def.base != Cls::count_) {
    base = reinterpret_cast<PyObject*>(lookup_type(def.base));
    if (base == nullptr) return nullptr;
  }
  std::array<PyType_Slot, 24> slots{};
  size_t n = 0;
  if (def.doc != nullptr && def.doc[0] != '\0') slots[n++] = {Py_tp_doc, const_cast<char*>(def.doc)};
  for (const PyType_Slot* s = def.slots; s != nullptr && s->slot != 0; ++s) slots[n++] = *s;
  slots[n++] = {Py_tp_methods, def.methods};
  slots[n++] = {Py_tp_getset, def.getset};
  slots[n++] = {Py_tp_base, base};
  slots[n++] = {Py_tp_dealloc, reinterpret_cast<void*>(def.dealloc)};
  if (def.traverse != nullptr) slots[n++] = {Py_tp_traverse, reinterpret_cast<void*>(def.traverse)};
  if (def.alloc != nullptr) slots[n++] = {Py_tp_alloc, reinterpret_cast<void*>(def.alloc)};
  slots[n] = {0, nullptr};

  // The full type name is a string literal, valid for the life of the
  // process, so interpreters that keep pointing at it (3.10) are served too.
  PyType_Spec spec{def.spec_name, def.basicsize, 0, def.flags, slots.data()};
  return reinterpret_cast<PyTypeObject*>(PyType_FromSpec(&spec));
}

// Compute and store the class attributes once. A thread that re-enters the
// lookup while it is storing them gets the type at once.
bool store_attrs(Cls c, PyTypeObject* type) {
  ClassState& st = g_state[static_cast<int>(c)];
  const ClassDef& def = class_def(c);
  const auto me = std::this_thread::get_id();
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (st.attrs_stored) return true;
    if (std::find(st.storing.begin(), st.storing.end(), me) != st.storing.end()) return true;
    st.storing.push_back(me);
  }
  auto done = [&](bool stored) {
    std::lock_guard<std::mutex> lock(st.mutex);
    st.storing.erase(std::find(st.storing.begin(), st.storing.end(), me));
    if (stored) st.attrs_stored = true;
    return stored;
  };

  Ref values[4];
  for (int i = 0; i < def.n_attrs; ++i) {
    values[i] = Ref::steal(def.attrs[i].compute());
    if (!values[i]) {
      wrap_pending_format("An error occurred while initializing `%s.%s`", def.name, def.attrs[i].name);
      return done(false);
    }
  }
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (st.attrs_stored) {
      st.storing.erase(std::find(st.storing.begin(), st.storing.end(), me));
      return true;
    }
  }
  for (int i = 0; i < def.n_attrs; ++i) {
    if (PyObject_SetAttrString(reinterpret_cast<PyObject*>(type), def.attrs[i].name, values[i].get()) < 0) {
      wrap_pending_format("An error occurred while initializing `%s.__dict__`", def.name);
      return done(false);
    }
  }
  return done(true);
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

PyTypeObject* lookup_type(Cls c) noexcept {
  const int i = static_cast<int>(c);
  if (detail::g_complete[i] != nullptr) return detail::g_complete[i];
  ClassState& st = g_state[i];
  if (st.created == nullptr) {
    PyTypeObject* type = create(c);
    if (type == nullptr) {
      wrap_pending_format("An error occurred while initializing class %s", class_def(c).name);
      return nullptr;
    }
    if (st.created == nullptr) {
      st.created = type;  // the first stored type object wins, and is kept forever
    } else {
      Py_DECREF(type);
    }
  }
  if (!store_attrs(c, st.created)) {
    wrap_pending_format("An error occurred while initializing class %s", class_def(c).name);
    return nullptr;
  }
  {
    std::lock_guard<std::mutex> lock(st.mutex);
    if (st.attrs_stored) detail::g_complete[i] = st.created;
  }
  return st.created;
}

namespace detail {
PyTypeObject* type_object_slow(Cls c) noexcept {
  PyTypeObject* t = lookup_type(c);
  if (t == nullptr) PyErr_WriteUnraisable(nullptr);
  return t;
}
}  // namespace detail

Outcome type_failure(Cls c) noexcept {
  return Outcome::internal_format("failed to create type object for `%s`", class_def(c).name);
}

}  // namespace ostrel
