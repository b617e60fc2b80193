// Running without the GIL: the primitives through which the module's
// process-wide state is shared between threads, and the only place where the
// free-threaded build differs from the abi3 build in what it calls.
//
// What is shared, and how (docs/architecture.md has the whole list):
//  - values computed once (OnceCell): an atomic pointer, published with
//    release and read with acquire;
//  - flags that only choose between two correct paths: relaxed atomics;
//  - the class state table: a Lock around every read and write of it;
//  - the allocation gate: per thread (OSTREL_PER_THREAD);
//  - objects that live as long as the process (the six classes and the one
//    Nothing): kept forever with keep_forever(), so that threads sharing
//    them never write their reference counts.
// With the GIL every primitive compiles to what the abi3 build always did:
// the GIL serialises the module's code, a Lock is empty, and an atomic load
// or store is a plain one on x86-64 and aarch64. The abi3t build runs with
// and without the GIL and takes the free-threaded paths, by the means of the
// limited API of 3.15: it has no PyMutex, and no way to make an object
// immortal or to tell a reference that no other thread can reach.
#pragma once

#include "module/python.hpp"

#include <sched.h>

#include <atomic>
#include <cstddef>

// A variable of which every thread has its own copy in the free-threaded
// build; with the GIL one copy serves, since only the GIL's holder runs here.
// Such variables are a few bytes each, so they take the initial-exec model:
// one load relative to the thread pointer, with no call to find the block.
#if OSTREL_FREE_THREADED
#define OSTREL_PER_THREAD thread_local __attribute__((tls_model("initial-exec")))
#else
#define OSTREL_PER_THREAD
#endif

// The module slot that declares a module safe to run without the GIL, for
// the slot tables of both modules. The abi3 build has none: the 3.10 stable
// ABI lacks the slot, and every interpreter that loads that build has a GIL.
// (The abi3t build declares it in its export hook's slots.)
#if OSTREL_FREE_THREADED
#define OSTREL_NO_GIL_SLOT {Py_mod_gil, Py_MOD_GIL_NOT_USED},
#else
#define OSTREL_NO_GIL_SLOT
#endif

namespace ostrel {

inline constexpr bool kFreeThreaded = OSTREL_FREE_THREADED != 0;

// A short critical section over plain data. In the free-threaded build a
// PyMutex (which detaches the waiting thread, so it cannot deadlock with a
// stop-the-world pause); with the GIL it does nothing. No Python code runs
// while it is held. The abi3t build has no PyMutex: an atomic flag, taken
// with acquire and given back with release, and a thread that finds it taken
// waits detached from the interpreter, as a PyMutex's waiter does (which on
// an interpreter with a GIL also lets the holder run).
class Lock {
 public:
  constexpr Lock() noexcept = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
#if OSTREL_ABI3T
  void lock() noexcept {
    while (held_.exchange(true, std::memory_order_acquire)) {
      PyThreadState* attached = PyEval_SaveThread();
      while (held_.load(std::memory_order_relaxed)) sched_yield();
      PyEval_RestoreThread(attached);
    }
  }
  void unlock() noexcept { held_.store(false, std::memory_order_release); }

 private:
  std::atomic<bool> held_{false};
#elif OSTREL_FREE_THREADED
  void lock() noexcept { PyMutex_Lock(&mutex_); }
  void unlock() noexcept { PyMutex_Unlock(&mutex_); }

 private:
  PyMutex mutex_{};
#else
  void lock() noexcept {}
  void unlock() noexcept {}
#endif
};

class Locked {
 public:
  explicit Locked(Lock& lock) noexcept : lock_(lock) { lock_.lock(); }
  Locked(const Locked&) = delete;
  Locked& operator=(const Locked&) = delete;
  ~Locked() { lock_.unlock(); }

 private:
  Lock& lock_;
};

// Keep an object until the process ends, and stop counting its references.
// Used for what the module never releases anyway: its classes and the one
// Nothing. In the free-threaded build the object becomes immortal, as
// CPython's own static types are, so that a thread taking or dropping a
// reference to it never touches a cache line that every other thread writes
// too. The stores are those CPython makes when it immortalises an object,
// and they are atomic: a thread that took a reference before them and drops
// it after them finds the object immortal and leaves its count alone, so
// the object may already be shared when it is kept. With the GIL it does
// nothing: the module holds a reference forever. Nor does it in the abi3t
// build, whose limited API can neither see the header nor make an object
// immortal: there the objects stay mortal, held by the module, and on a
// free-threaded interpreter threads that share them count their references.
inline void keep_forever(PyObject* o) noexcept {
#if OSTREL_FREE_THREADED && !OSTREL_ABI3T
  std::atomic_ref<uintptr_t>(o->ob_tid).store(0, std::memory_order_relaxed);
  std::atomic_ref<uint32_t>(o->ob_ref_local).store(_Py_IMMORTAL_REFCNT_LOCAL, std::memory_order_relaxed);
  std::atomic_ref<Py_ssize_t>(o->ob_ref_shared).store(0, std::memory_order_relaxed);
#else
  (void)o;
#endif
}

// Whether the caller's reference to `o` is its only one, so that `o` may be
// taken apart in place. Free-threaded, that needs more than a count of one:
// the reference must be this thread's own, with no shared ones that another
// thread could add to. The abi3t build cannot tell (the limited API has only
// the count, which is not enough without the GIL), so it never takes a value
// apart: it drops the reference, and the interpreter (3.14 and later) bounds
// the depth of nested deallocations of collectable objects itself.
inline constexpr bool kCanTellSoleReference = OSTREL_ABI3T == 0;
inline bool sole_reference([[maybe_unused]] PyObject* o) noexcept {
#if OSTREL_ABI3T
  return false;
#elif OSTREL_FREE_THREADED
  return PyUnstable_Object_IsUniquelyReferenced(o) != 0;
#else
  return Py_REFCNT(o) == 1;
#endif
}

// A list that one thread fills by appending and that nobody else sees until
// it is complete (the payloads that collect and partition gather). In the
// free-threaded build every PyList_Append takes and gives back the list's
// lock, two atomic read-modify-writes that cost more than the rest of the
// append; there the new references are gathered in a buffer of this
// thread's and the list is made once, at its final size. Every other build
// appends, as it always did (the abi3t build too: its limited API cannot
// fill a list without the lock).
class ListBuilder {
 public:
  ListBuilder() noexcept = default;
  ListBuilder(const ListBuilder&) = delete;
  ListBuilder& operator=(const ListBuilder&) = delete;
#if OSTREL_FREE_THREADED && !OSTREL_ABI3T
  ~ListBuilder() {
    for (Py_ssize_t i = 0; i < size_; ++i) Py_DECREF(items_[i]);
    PyMem_Free(items_);
  }

  // Append a new reference to `borrowed`; false, with an exception set, when
  // there is no room.
  bool append(PyObject* borrowed) noexcept {
    if (OSTREL_UNLIKELY(size_ == capacity_)) {
      const Py_ssize_t grown = capacity_ == 0 ? 16 : capacity_ * 2;
      if (grown > PY_SSIZE_T_MAX / static_cast<Py_ssize_t>(sizeof(PyObject*))) {
        PyErr_NoMemory();
        return false;
      }
      void* more = PyMem_Realloc(items_, static_cast<std::size_t>(grown) * sizeof(PyObject*));
      if (more == nullptr) {
        PyErr_NoMemory();
        return false;
      }
      items_ = static_cast<PyObject**>(more);
      capacity_ = grown;
    }
    Py_INCREF(borrowed);
    items_[size_++] = borrowed;
    return true;
  }

  // The list of everything appended (a new reference), or null with an
  // exception set. The list is made at its size by repeating [None], which
  // allocates its item array before the list holds any item (PyList_New(n)
  // of 3.14t crashes when that allocation fails), and its items are then
  // stored in place: None is immortal, so nothing is dropped for them.
  PyObject* finish() noexcept {
    if (size_ == 0) return PyList_New(0);
    PyObject* one = PyList_New(0);
    if (one == nullptr) return nullptr;
    PyObject* list = PyList_Append(one, Py_None) == 0 ? PySequence_Repeat(one, size_) : nullptr;
    Py_DECREF(one);
    if (list == nullptr) return nullptr;
    for (Py_ssize_t i = 0; i < size_; ++i) PyList_SET_ITEM(list, i, items_[i]);
    size_ = 0;
    return list;
  }

 private:
  PyObject** items_ = nullptr;
  Py_ssize_t size_ = 0;
  Py_ssize_t capacity_ = 0;
#else
  ~ListBuilder() { Py_XDECREF(list_); }

  bool append(PyObject* borrowed) noexcept {
    if (OSTREL_UNLIKELY(list_ == nullptr) && (list_ = PyList_New(0)) == nullptr) return false;
    return PyList_Append(list_, borrowed) == 0;
  }

  PyObject* finish() noexcept {
    PyObject* list = list_ != nullptr ? list_ : PyList_New(0);
    list_ = nullptr;
    return list;
  }

 private:
  PyObject* list_ = nullptr;
#endif
};

}  // namespace ostrel
