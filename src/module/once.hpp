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
// The cell is read and written only with the GIL held, which orders the
// accesses; it holds a plain pointer and has no destructor to run at exit.
#pragma once

#include "module/outcome.hpp"

namespace ostrel {

class OnceCell {
 public:
  constexpr OnceCell() noexcept = default;
  OnceCell(const OnceCell&) = delete;
  OnceCell& operator=(const OnceCell&) = delete;

  // A new reference to the value. `compute` returns an Outcome holding a new
  // reference; its failure is returned and not cached, so the next use tries
  // again.
  template <class Compute>
  Outcome get(Compute compute) noexcept {
    if (OSTREL_LIKELY(value_ != nullptr)) return Outcome::same(value_);
    Outcome computed = compute();
    if (!computed.is_value()) return computed;
    if (value_ == nullptr) value_ = computed.take().release();  // the cell's own reference, kept
    return Outcome::same(value_);
  }

  // The published value (borrowed), or null.
  PyObject* peek() const noexcept { return value_; }

 private:
  PyObject* value_ = nullptr;
};

}  // namespace ostrel
