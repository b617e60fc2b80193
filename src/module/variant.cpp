#include "module/variant.hpp"

#include "module/companion.hpp"
#include "module/storage.hpp"

#include <atomic>

namespace ostrel {

Outcome op_empty_tuple(PyObject*) noexcept { return empty_tuple(); }

// The list is made empty and then grown: CPython 3.14t's PyList_New(n > 0)
// releases a list whose item array it could not allocate without having set
// its items, and crashes, while a failed append leaves the list sound.
Outcome iterate(PyObject* payload) noexcept {
  Ref list = Ref::steal(PyList_New(0));
  if (!list) return Outcome::capture();
  if (payload != nullptr && PyList_Append(list.get(), payload) < 0) return Outcome::capture();
  return Outcome::from(PyObject_GetIter(list.get()));
}

namespace {

// Whether pair_hash() gives this interpreter's tuple hash; set by every
// import of the module, always to the same value, and it only chooses
// between two correct ways of hashing: relaxed ordering suffices.
std::atomic<bool> g_pair_hash_exact{false};

// The interpreter's hash of a 2-tuple from the hashes of its items.
Py_hash_t pair_hash(Py_hash_t first, Py_hash_t second) noexcept {
#if SIZEOF_PY_HASH_T > 4
  constexpr Py_uhash_t prime1 = 11400714785074694791ULL;
  constexpr Py_uhash_t prime2 = 14029467366897019727ULL;
  constexpr Py_uhash_t prime5 = 2870177450012600261ULL;
  auto rotate = [](Py_uhash_t x) { return (x << 31) | (x >> 33); };
#else
  constexpr Py_uhash_t prime1 = 2654435761UL;
  constexpr Py_uhash_t prime2 = 2246822519UL;
  constexpr Py_uhash_t prime5 = 374761393UL;
  auto rotate = [](Py_uhash_t x) { return (x << 13) | (x >> 19); };
#endif
  Py_uhash_t acc = prime5;
  for (Py_hash_t lane : {first, second}) {
    acc += static_cast<Py_uhash_t>(lane) * prime2;
    acc = rotate(acc);
    acc *= prime1;
  }
  acc += static_cast<Py_uhash_t>(2) ^ (prime5 ^ 3527539UL);
  if (acc == static_cast<Py_uhash_t>(-1)) return 1546275796;
  return static_cast<Py_hash_t>(acc);
}

// The hash of a real (tag, payload) tuple; -1 with the exception pending.
Py_hash_t tuple_hash(long tag, PyObject* payload) noexcept {
  Ref tag_obj = Ref::steal(PyLong_FromLong(tag));
  if (!tag_obj) return -1;
  Ref t = Ref::steal(PyTuple_Pack(2, tag_obj.get(), payload));
  if (!t) return -1;
  return PyObject_Hash(t.get());
}

}  // namespace

void check_pair_hash() noexcept {
  // Compare against real tuples on values whose hashes cover the edge cases
  // (-1 as an item hash, large and negative hashes, the two tags).
  const long long ints[] = {0, 1, -1, -2, (1LL << 61) - 2, -((1LL << 61) - 2), 1234567};
  Ref samples[10];
  int n = 0;
  for (long long v : ints) samples[n++] = Ref::steal(PyLong_FromLongLong(v));
  samples[n++] = Ref::steal(PyUnicode_FromString("ostrel"));
  samples[n++] = Ref::steal(PyFloat_FromDouble(1.5));
  samples[n++] = Ref::borrow(Py_None);
  bool exact = true;
  for (int i = 0; i < n && exact; ++i) {
    if (!samples[i]) {
      exact = false;
      break;
    }
    for (long tag : {0L, 1L}) {
      const Py_hash_t real = tuple_hash(tag, samples[i].get());
      const Py_hash_t item = PyObject_Hash(samples[i].get());
      if (real == -1 || item == -1 || pair_hash(tag, item) != real) exact = false;
    }
  }
  drop_pending();  // a failure here only means: use real tuples
  g_pair_hash_exact.store(exact, std::memory_order_relaxed);
}

Outcome hash_tagged(long tag, PyObject* payload) noexcept {
  if (Py_EnterRecursiveCall(" while hashing a result or option") != 0) return Outcome::capture();
  Py_hash_t h = -1;
  if (OSTREL_LIKELY(g_pair_hash_exact.load(std::memory_order_relaxed))) {
    h = PyObject_Hash(payload);
    if (h != -1) h = pair_hash(tag, h);
  } else {
    h = tuple_hash(tag, payload);
  }
  Py_LeaveRecursiveCall();
  if (h == -1) return Outcome::capture();
  return Outcome::scalar(h);
}

Outcome compare_payloads_guarded(PyObject* mine, PyObject* theirs, int op) noexcept {
  if (Py_EnterRecursiveCall(" while comparing results or options") != 0) return Outcome::capture();
  Ref r = Ref::steal(PyObject_RichCompare(mine, theirs, Py_EQ));
  const int truth = r ? PyObject_IsTrue(r.get()) : -1;
  Py_LeaveRecursiveCall();
  if (truth < 0) return Outcome::capture();
  return Outcome::boolean((truth != 0) == (op == Py_EQ));
}

Outcome call_method(PyObject* obj, Name name, PyObject* arg) noexcept {
  Outcome method = interned(name);
  if (!method.is_value()) return method;
  return Outcome::from(PyObject_CallMethodObjArgs(obj, method.peek(), arg, nullptr));
}

Outcome call_truth(PyObject* fn, PyObject* arg) noexcept {
  Ref r = Ref::steal(call_one(fn, arg));
  if (!r) return Outcome::capture();
  const int truth = PyObject_IsTrue(r.get());
  if (truth < 0) return Outcome::capture();
  return Outcome::boolean(truth != 0);
}

Outcome deepcopy_variant(PyObject* self, PyObject* payload, PyObject* memo,
                         Outcome (*rebuild)(PyObject* self, Ref copied)) noexcept {
  Outcome deepcopy = deepcopy_function();
  if (!deepcopy.is_value()) return deepcopy;
  if (Py_EnterRecursiveCall(" while deep-copying a result or option") != 0) return Outcome::capture();
  Outcome copied = Outcome::from(PyObject_CallFunctionObjArgs(deepcopy.peek(), payload, memo, nullptr));
  Py_LeaveRecursiveCall();
  if (!copied.is_value()) return copied;
  if (PyDict_Check(memo)) {
    Ref key = Ref::steal(PyLong_FromVoidPtr(self));
    if (!key) return Outcome::capture();
    PyObject* earlier = PyDict_GetItemWithError(memo, key.get());  // borrowed
    if (earlier != nullptr) return Outcome::same(earlier);
    if (PyErr_Occurred() != nullptr) return Outcome::capture();
  }
  return rebuild(self, copied.take());
}

Outcome class_getitem(Cls family, PyObject* cls, PyObject* args) noexcept {
  Outcome alias = generic_alias_class(family);
  if (!alias.is_value()) return alias;
  return Outcome::from(PyObject_CallFunctionObjArgs(alias.peek(), cls, args, nullptr));
}

}  // namespace ostrel
