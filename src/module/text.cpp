#include "module/text.hpp"

#include <cstring>

namespace ostrel {

TextBuilder::~TextBuilder() {
  if (buf_ != small_) PyMem_Free(buf_);
}

bool TextBuilder::reserve(size_t extra) noexcept {
  if (cap_ - len_ >= extra) return true;
  size_t cap = cap_ * 2;
  while (cap - len_ < extra) {
    if (cap > (static_cast<size_t>(PY_SSIZE_T_MAX) >> 1)) {
      PyErr_NoMemory();
      fail(Outcome::capture());
      return false;
    }
    cap *= 2;
  }
  char* grown = static_cast<char*>(PyMem_Malloc(cap));
  if (grown == nullptr) {
    PyErr_NoMemory();
    fail(Outcome::capture());
    return false;
  }
  std::memcpy(grown, buf_, len_);
  if (buf_ != small_) PyMem_Free(buf_);
  buf_ = grown;
  cap_ = cap;
  return true;
}

TextBuilder& TextBuilder::append(std::string_view bytes) noexcept {
  if (failed() || !reserve(bytes.size())) return *this;
  std::memcpy(buf_ + len_, bytes.data(), bytes.size());
  len_ += bytes.size();
  return *this;
}

TextBuilder& TextBuilder::append_text(PyObject* str) noexcept {
  if (failed()) return *this;
  Py_ssize_t n = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(str, &n);
  if (OSTREL_LIKELY(utf8 != nullptr)) return append({utf8, static_cast<size_t>(n)});
  Fetched error = Fetched::take();
  if (!error.is(PyExc_UnicodeEncodeError)) {
    fail(Outcome::exception(std::move(error)));
    return *this;
  }
  // Lone surrogates: encode them through, then decode with every invalid
  // byte replaced (maximal subparts), so each becomes three U+FFFD.
  Ref raw = Ref::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  char* bytes = nullptr;
  Py_ssize_t len = 0;
  if (!raw || PyBytes_AsStringAndSize(raw.get(), &bytes, &len) < 0) {
    fail(Outcome::capture());
    return *this;
  }
  Ref clean = Ref::steal(PyUnicode_DecodeUTF8(bytes, len, "replace"));
  utf8 = clean ? PyUnicode_AsUTF8AndSize(clean.get(), &n) : nullptr;
  if (utf8 == nullptr) {
    fail(Outcome::capture());
    return *this;
  }
  return append({utf8, static_cast<size_t>(n)});
}

TextBuilder& TextBuilder::append_form(PyObject* o, bool use_repr) noexcept {
  if (failed()) return *this;
  Ref text = Ref::steal(use_repr ? PyObject_Repr(o) : PyObject_Str(o));
  if (!text) {
    fail(Outcome::capture());
    return *this;
  }
  return append_text(text.get());
}

TextBuilder& TextBuilder::append_str_lenient(PyObject* o) noexcept {
  if (failed()) return *this;
  Ref text = Ref::steal(PyObject_Str(o));
  if (text) return append_text(text.get());
  Fetched error = Fetched::take();
  if (!error.is_ordinary()) fail(Outcome::exception(std::move(error)));
  return *this;
}

Outcome TextBuilder::finish() noexcept {
  if (failed()) return std::move(failure_);
  return Outcome::from(PyUnicode_DecodeUTF8(buf_, static_cast<Py_ssize_t>(len_), nullptr));
}

Outcome wrapped_form(std::string_view prefix, PyObject* payload, bool use_repr) noexcept {
  TextBuilder b;
  b.append(prefix).append_form(payload, use_repr).append(")");
  return b.finish();
}

Outcome exact_str(std::string_view text) noexcept {
  PyObject* s = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (OSTREL_UNLIKELY(s == nullptr)) return Outcome::internal_null();
  return Outcome::value(Ref::steal(s));
}

}  // namespace ostrel
