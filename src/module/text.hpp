// Text built from Python objects, taken as UTF-8 leniently: valid text as it
// is, and each lone surrogate as three U+FFFD characters.
#pragma once

#include "module/outcome.hpp"

#include <cstddef>
#include <string_view>

namespace ostrel {

class TextBuilder {
 public:
  TextBuilder() noexcept = default;
  TextBuilder(const TextBuilder&) = delete;
  TextBuilder& operator=(const TextBuilder&) = delete;
  ~TextBuilder();

  // Each returns false with an exception set on failure.
  bool append(std::string_view bytes) noexcept;
  // The text of a str (or subclass), leniently.
  bool append_text(PyObject* str) noexcept;
  // repr() or str() of an object, leniently; its exception is left set.
  bool append_form(PyObject* o, bool use_repr) noexcept;

  void drop_last() noexcept {
    if (len_ > 0) --len_;
  }
  // A new str of exactly type str.
  Outcome finish() noexcept;

 private:
  bool reserve(size_t extra) noexcept;
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
