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
// or store is a plain one on x86-64 and aarch64.
#pragma once

#include "module/python.hpp"

#include <atomic>

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
// while it is held.
class Lock {
 public:
  constexpr Lock() noexcept = default;
  Lock(const Lock&) = delete;
  Lock& operator=(const Lock&) = delete;
#if OSTREL_FREE_THREADED
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
// nothing: the module holds a reference forever.
inline void keep_forever(PyObject* o) noexcept {
#if OSTREL_FREE_THREADED
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
// thread could add to.
inline bool sole_reference(PyObject* o) noexcept {
#if OSTREL_FREE_THREADED
  return PyUnstable_Object_IsUniquelyReferenced(o) != 0;
#else
  return Py_REFCNT(o) == 1;
#endif
}

}  // namespace ostrel
