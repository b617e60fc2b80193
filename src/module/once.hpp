// OnceCell: a value computed once per process by code that may run Python
// (an import), published for every thread, and never released.
//
// A thread that finds the value being computed by another thread waits with
// the GIL released. A thread that re-enters its own computation (the import
// it runs needs the same value) computes it again without caching it. A
// failed computation is not cached: the next use tries again.
#pragma once

#include "module/ref.hpp"

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace ostrel {

class OnceCell {
 public:
  // A new reference to the value, or null with an exception set.
  // `compute` returns a new reference or null with an exception set.
  template <class Compute>
  Ref get(Compute compute) noexcept {
    PyObject* v = value_.load(std::memory_order_acquire);
    if (OSTREL_LIKELY(v != nullptr)) return Ref::borrow(v);
    return get_slow(compute);
  }

 private:
  template <class Compute>
  Ref get_slow(Compute& compute) noexcept {
    const auto me = std::this_thread::get_id();
    for (;;) {
      std::unique_lock<std::mutex> lock(mutex_);
      if (PyObject* v = value_.load(std::memory_order_acquire)) return Ref::borrow(v);
      if (!busy_) {
        busy_ = true;
        owner_ = me;
        lock.unlock();
        Ref computed = Ref::steal(compute());
        lock.lock();
        busy_ = false;
        if (computed) {
          Py_INCREF(computed.get());  // the cell's own reference, kept forever
          value_.store(computed.get(), std::memory_order_release);
        }
        lock.unlock();
        ready_.notify_all();
        return computed;
      }
      if (owner_ == me) {
        // Re-entered from our own computation: compute without caching.
        lock.unlock();
        return Ref::steal(compute());
      }
      lock.unlock();
      PyThreadState* saved = PyEval_SaveThread();
      {
        std::unique_lock<std::mutex> wait_lock(mutex_);
        ready_.wait(wait_lock, [this] { return !busy_; });
      }
      PyEval_RestoreThread(saved);
    }
  }

  std::atomic<PyObject*> value_{nullptr};
  std::mutex mutex_;
  std::condition_variable ready_;
  bool busy_ = false;
  std::thread::id owner_;
};

}  // namespace ostrel
