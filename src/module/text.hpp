// Text built from Python objects, taken as UTF-8 leniently: valid text as it
// is, and each lone surrogate as three U+FFFD characters.
#pragma once

#include "module/outcome.hpp"

#include <cstddef>
#include <string_view>

namespace ostrel {

// Appends collect into one buffer. The first failure sticks: later appends
// do nothing, and finish() returns that failure.
class TextBuilder {
 public:
  TextBuilder() noexcept = default;
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;
  ~TextBuilder();

  TextBuilder& append(std::string_view bytes) noexcept;
  // The text of a str (or subclass), leniently.
  TextBuilder& append_text(PyObject* str) noexcept;
  // repr() or str() of an object, leniently.
  TextBuilder& append_form(PyObject* o, bool use_repr) noexcept;
  // str() of an object; an ordinary Exception from it is dropped and adds
  // nothing, while anything else (KeyboardInterrupt, RecursionError,
  // MemoryError, ...) is the builder's failure.
  TextBuilder& append_str_lenient(PyObject* o) noexcept;

  // A new str of exactly type str, or the first failure.
  Outcome finish() noexcept;

 private:
  bool reserve(size_t extra) noexcept;
  void fail(Outcome&& o) noexcept { failure_ = std::move(o); }
  bool failed() const noexcept { return !failure_.is_value(); }

  Outcome failure_ = Outcome::ok();
  char small_[128];
  char* buf_ = small_;
  size_t len_ = 0;
  size_t cap_ = sizeof small_;
};

// "<prefix>" + repr() or str() of `payload` + ")".
Outcome wrapped_form(std::string_view prefix, PyObject* payload, bool use_repr) noexcept;

// A new str of exactly type str holding `text` (valid UTF-8).
Outcome exact_str(std::string_view text) noexcept;

}  // namespace ostrel
