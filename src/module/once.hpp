// OnceCell: a value computed once per process, possibly by code that runs
// Python (an import), published for every thread and never released.
//
// Nobody waits for anybody: a thread that finds the cell empty computes the
// value itself, the first value published wins, and every caller returns the
// published object. Waiting for another thread's computation could deadlock
// with a lock that computation needs (an import lock, an import hook's lock)
// and would need a synchronisation object that outlives the interpreter; the
// price is that two threads racing on first use may both run the
// computation, which for an import and an attribute read is harmless.
//
// The cell is an atomic pointer: it is published with a compare-exchange
// that releases the finished object to other threads, and read with acquire,
// so a reader sees the object as its publisher made it. It has no destructor
// to run at exit.
#pragma once

#include "module/outcome.hpp"

#include <atomic>

namespace ostrel {

class OnceCell {
 public:
  constexpr OnceCell() noexcept = default;
  OnceCell(const OnceCell&) = delete;
  OnceCell& operator=(const OnceCell&) = delete;

  // A new reference to the value. `compute` returns an Outcome holding a new
  // reference; its failure is returned and not cached, so the next use tries
  // again. `published` runs once, on the value that wins, in the thread that
  // published it.
  template <class Compute, class Published = void (*)(PyObject*)>
  Outcome get(Compute compute, Published published = [](PyObject*) {}) noexcept {
    PyObject* v = value_.load(std::memory_order_acquire);
    if (OSTREL_LIKELY(v != nullptr)) return Outcome::same(v);
    Outcome computed = compute();
    if (!computed.is_value()) return computed;
    PyObject* expected = nullptr;
    if (value_.compare_exchange_strong(expected, computed.peek(), std::memory_order_acq_rel,
                                       std::memory_order_acquire)) {
      PyObject* mine = computed.take().release();  // the cell's own reference, kept
      published(mine);
      return Outcome::same(mine);
    }
    return Outcome::same(expected);  // another thread won; `computed` is dropped
  }

  // The published value (borrowed), or null.
  PyObject* peek() const noexcept { return value_.load(std::memory_order_acquire); }

 private:
  std::atomic<PyObject*> value_{nullptr};
};

}  // namespace ostrel
