#include "module/storage.hpp"

#include "module/entry.hpp"

#include <array>

namespace ostrel {

namespace detail {
OnceCell g_empty_tuple;
FieldsOf<ValueFields> g_value_fields;
FieldsOf<ErrFields> g_err_fields;
}  // namespace detail

namespace {

OnceCell g_nothing;
// object's tp_new, read once; every thread that finds it unset stores the
// same pointer, so relaxed ordering suffices.
std::atomic<newfunc> g_object_new{nullptr};
// Set by allocate() just before it calls object's tp_new, and consumed by the
// classes' allocators: only the module's own construction paths allocate.
// Per thread: the allocator runs in the thread that called object's tp_new.
OSTREL_PER_THREAD bool g_allocation_permitted = false;

// The allocator of a class was called by anybody else: typically
// object.__new__(cls) after cls.__new__ was replaced from Python.
bool permitted(PyTypeObject* type) noexcept {
  if (OSTREL_LIKELY(g_allocation_permitted)) {
    g_allocation_permitted = false;
    return true;
  }
  const char* name = "this class";
  for (std::size_t i = 0; i < kClassCount; ++i) {
    if (is_class(type, static_cast<Cls>(i))) name = class_def(static_cast<Cls>(i)).name;
  }
  entry::finish(Outcome::raise_format(PyExc_TypeError,
                                      "%s instances cannot be made by object.__new__(); call %s() instead", name,
                                      name));
  return false;
}

// Freed Some, Ok and Err instances, kept per class for reuse, as CPython
// keeps its tuples and floats: a freed instance is untracked and holds
// nothing (its fields were released), so one taken from here is
// indistinguishable from fresh memory. With the GIL one set of lists serves
// the process. In the free-threaded build every thread has its own, made on
// its first free, so no two threads ever touch one list; a capsule in the
// thread's state dict owns them and gives the instances back when that
// state is cleared, so a thread that ends leaves nothing behind.
constexpr int kFreeListSize = 64;
struct FreeList {
  std::array<PyObject*, kFreeListSize> items;
  int n;
};
struct FreeLists {
  FreeList of[kClassCount];
};
FreeLists g_process_lists;                 // with the GIL
OSTREL_PER_THREAD FreeLists* g_my_lists;   // free-threaded: this thread's, or null
OSTREL_PER_THREAD bool g_lists_given_up;   // free-threaded: drained, or none could be made

FreeLists* lists() noexcept {
  if constexpr (kFreeThreaded) return g_my_lists;
  return &g_process_lists;
}

constexpr const char kDrainName[] = "ostrel_core.free_lists";

// The capsule's destructor, run as a thread state's dict is cleared: by the
// thread itself when it ends, which then keeps no instance any more. Lists of
// a thread whose state is cleared from another thread stay as they are: that
// thread may still be using them.
void drain(PyObject* capsule) noexcept {
  auto* mine = static_cast<FreeLists*>(PyCapsule_GetPointer(capsule, kDrainName));
  if (mine == nullptr) drop_pending();
  if (mine == nullptr || mine != g_my_lists) return;
  g_my_lists = nullptr;
  g_lists_given_up = true;
  for (FreeList& list : mine->of) {
    while (list.n > 0) PyObject_GC_Del(list.items[--list.n]);
  }
  PyMem_Free(mine);
}

// The lists a freed instance may go to, made with their drain on this
// thread's first free in the free-threaded build; null when there are none.
// Called from deallocators, so it leaves any pending exception as it found it.
FreeLists* lists_to_keep() noexcept {
  if (FreeLists* mine = lists(); OSTREL_LIKELY(mine != nullptr) || g_lists_given_up) return mine;
  g_lists_given_up = true;  // until the drain is in place; a failure keeps it so
  Fetched pending = Fetched::take();
  PyObject* dict = PyThreadState_GetDict();  // borrowed; null without an exception when there is none
  auto* made = static_cast<FreeLists*>(dict != nullptr ? PyMem_Calloc(1, sizeof(FreeLists)) : nullptr);
  Ref capsule = Ref::steal(made != nullptr ? PyCapsule_New(made, kDrainName, drain) : nullptr);
  if (capsule && PyDict_SetItemString(dict, kDrainName, capsule.get()) == 0) {
    g_my_lists = made;
    g_lists_given_up = false;
  } else if (!capsule) {
    PyMem_Free(made);
  }
  drop_pending();
  pending.restore();
  return g_my_lists;
}

// tp_alloc of Some, Ok and Err: a GC-aware instance that is not yet tracked,
// its fields null until the construction path stores them.
template <Cls C, class Fields, FieldsOf<Fields>& Placed>
PyObject* alloc_variant(PyTypeObject* type, Py_ssize_t /*nitems*/) noexcept {
  if (OSTREL_UNLIKELY(!permitted(type))) return nullptr;
  FreeLists* kept = lists();
  PyObject* self = nullptr;
  if (OSTREL_LIKELY(kept != nullptr && kept->of[static_cast<std::size_t>(C)].n > 0)) {
    FreeList& free = kept->of[static_cast<std::size_t>(C)];
    self = free.items[--free.n];
    PyObject_Init(self, type);
  } else {
    self = reinterpret_cast<PyObject*>(_PyObject_GC_New(type));
    if (OSTREL_UNLIKELY(self == nullptr)) return nullptr;
  }
  *Placed.in(self) = Fields{};
  return self;
}

// tp_alloc of Nothing: the one instance is made by nothing() alone.
PyObject* alloc_nothing(PyTypeObject* type, Py_ssize_t nitems) noexcept {
  if (OSTREL_UNLIKELY(!permitted(type))) return nullptr;
  return PyType_GenericAlloc(type, nitems);
}

// The type's own tp_free, then the instance's reference to its heap type.
void free_instance(PyObject* self) noexcept {
  PyTypeObject* type = Py_TYPE(self);
  auto tp_free = reinterpret_cast<freefunc>(PyType_GetSlot(type, Py_tp_free));
  tp_free(self);
  Py_DECREF(type);
}

// The same for Some, Ok and Err, which are final classes with the GC flag:
// an untracked instance whose fields are released goes to its class's free
// list, or, when that is full, to PyObject_GC_Del (their tp_free). `known` is
// the instance's class where the caller knows it, which spares reading the
// header where that is a call (its class is then the complete class itself).
void free_variant(PyObject* self, Cls known = Cls::count_) noexcept {
  const bool given = kHeaderIsACall && known != Cls::count_;
  PyTypeObject* type = given ? detail::g_complete[static_cast<std::size_t>(known)].load(std::memory_order_relaxed)
                             : Py_TYPE(self);
  const Cls cls = given                      ? known
                  : is_class(type, Cls::Ok)  ? Cls::Ok
                  : is_class(type, Cls::Err) ? Cls::Err
                                             : Cls::Some;
  FreeLists* kept = lists_to_keep();
  FreeList* free = kept != nullptr ? &kept->of[static_cast<std::size_t>(cls)] : nullptr;
  if (OSTREL_LIKELY(free != nullptr && free->n < kFreeListSize)) {
    free->items[free->n++] = self;
  } else {
    PyObject_GC_Del(self);
  }
  Py_DECREF(type);
}

bool is_variant(PyObject* o) noexcept { return is_a(o, Cls::Some) || is_a(o, Cls::Ok) || is_a(o, Cls::Err); }

// Release a payload. Where this holds the last reference to another variant,
// take that instance apart here and go on with its payload, instead of
// letting its deallocator recurse: a chain of a million nested values is
// released in constant stack depth.
void release_payload(PyObject* v) noexcept {
  while (kCanTellSoleReference && is_variant(v) && sole_reference(v)) {
    // Untrack first: once nothing can reach `v`, its other fields may run
    // arbitrary code as they are released.
    PyObject_GC_UnTrack(v);
    PyObject* next = nullptr;
    if (is_a(v, Cls::Err)) {
      ErrFields* e = as_err(v);
      next = e->error;
      PyObject* notes = e->notes;
      PyObject* trace = e->trace;
      free_variant(v);
      Py_DECREF(notes);
      Py_DECREF(trace);
    } else {
      next = value_of(v);
      free_variant(v);
    }
    v = next;
  }
  Py_DECREF(v);
}

template <Cls C>
void dealloc_value(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  PyObject* value = value_of(self);
  free_variant(self, C);
  release_payload(value);
}

void dealloc_err(PyObject* self) noexcept {
  PyObject_GC_UnTrack(self);
  ErrFields* e = as_err(self);
  PyObject* error = e->error;
  PyObject* notes = e->notes;
  PyObject* trace = e->trace;
  free_variant(self, Cls::Err);
  release_payload(error);
  Py_DECREF(notes);
  Py_DECREF(trace);
}

void dealloc_empty(PyObject* self) noexcept { free_instance(self); }

int traverse_value(PyObject* self, visitproc visit, void* arg) noexcept {
  Py_VISIT(Py_TYPE(self));
  Py_VISIT(value_of(self));
  return 0;
}

int traverse_err(PyObject* self, visitproc visit, void* arg) noexcept {
  Py_VISIT(Py_TYPE(self));
  ErrFields* e = as_err(self);
  Py_VISIT(e->error);
  Py_VISIT(e->notes);
  Py_VISIT(e->trace);
  return 0;
}

}  // namespace

Allocation allocation(Cls cls, Layout layout) noexcept {
  using detail::g_err_fields, detail::g_value_fields;
  switch (layout) {
    case Layout::Value:
      if (cls == Cls::Ok) {
        return {g_value_fields.kBasicsize, Py_TPFLAGS_HAVE_GC, dealloc_value<Cls::Ok>, traverse_value,
                alloc_variant<Cls::Ok, ValueFields, g_value_fields>};
      }
      return {g_value_fields.kBasicsize, Py_TPFLAGS_HAVE_GC, dealloc_value<Cls::Some>, traverse_value,
              alloc_variant<Cls::Some, ValueFields, g_value_fields>};
    case Layout::Err:
      return {g_err_fields.kBasicsize, Py_TPFLAGS_HAVE_GC, dealloc_err, traverse_err,
              alloc_variant<Cls::Err, ErrFields, g_err_fields>};
    case Layout::Singleton:
      return {kNoFieldsBasicsize, 0, dealloc_empty, nullptr, alloc_nothing};
    case Layout::Empty:
      break;
  }
  return {kNoFieldsBasicsize, 0, dealloc_empty, nullptr, nullptr};
}

Outcome place_fields(PyTypeObject* type, Layout layout) noexcept {
  if (layout == Layout::Value) return detail::g_value_fields.settle(type);
  if (layout == Layout::Err) return detail::g_err_fields.settle(type);
  return Outcome::ok();
}

namespace detail {

Outcome allocate(Cls cls) noexcept {
  PyTypeObject* type = type_object(cls);
  if (OSTREL_UNLIKELY(type == nullptr)) return type_failure(cls);
  PyObject* args = g_empty_tuple.peek();
  newfunc object_new = g_object_new.load(std::memory_order_relaxed);
  if (OSTREL_UNLIKELY(args == nullptr || object_new == nullptr)) {
    Outcome empty = empty_tuple();
    if (!empty.is_value()) return empty;
    args = g_empty_tuple.peek();
    object_new = reinterpret_cast<newfunc>(PyType_GetSlot(&PyBaseObject_Type, Py_tp_new));
    if (object_new == nullptr) return Outcome::internal_null();
    g_object_new.store(object_new, std::memory_order_relaxed);
  }
  g_allocation_permitted = true;
  PyObject* self = object_new(type, args, nullptr);
  g_allocation_permitted = false;
  return Outcome::from(self);
}

bool may_close_cycle_slow(PyObject* o) noexcept {
  PyTypeObject* t = Py_TYPE(o);
  if ((PyType_GetFlags(t) & Py_TPFLAGS_HAVE_GC) == 0) return false;
  if (t == &PyTuple_Type || is_variant(o)) return PyObject_GC_IsTracked(o) != 0;
  return true;
}

}  // namespace detail

Outcome empty_tuple() noexcept {
  return detail::g_empty_tuple.get([] { return Outcome::from(PyTuple_New(0)); });
}

Outcome nothing() noexcept {
  return g_nothing.get([] { return detail::allocate(Cls::Nothing); }, keep_forever);
}

Outcome appended(PyObject* old, Ref item) noexcept {
  const Py_ssize_t n = PyTuple_Size(old);
  if (n < 0) return Outcome::capture();
  Ref grown = Ref::steal(PyTuple_New(n + 1));
  if (!grown) return Outcome::internal_null();
  for (Py_ssize_t i = 0; i < n; ++i) {
    PyObject* entry = PyTuple_GetItem(old, i);
    Py_INCREF(entry);
    PyTuple_SetItem(grown.get(), i, entry);
  }
  const bool atomic = PyUnicode_CheckExact(item.get()) && (n == 0 || !PyObject_GC_IsTracked(old)) &&
                      Py_TYPE(old) == &PyTuple_Type;
  PyTuple_SetItem(grown.get(), n, item.release());
  if (atomic && PyObject_GC_IsTracked(grown.get())) PyObject_GC_UnTrack(grown.get());
  return Outcome::value(std::move(grown));
}

}  // namespace ostrel
