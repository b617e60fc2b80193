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
      return false;
    }
    cap *= 2;
  }
  char* grown = static_cast<char*>(PyMem_Malloc(cap));
  if (grown == nullptr) {
    PyErr_NoMemory();
    return false;
  }
  std::memcpy(grown, buf_, len_);
  if (buf_ != small_) PyMem_Free(buf_);
  buf_ = grown;
  cap_ = cap;
  return true;
}

bool TextBuilder::append(std::string_view bytes) noexcept {
  if (!reserve(bytes.size())) return false;
  std::memcpy(buf_ + len_, bytes.data(), bytes.size());
  len_ += bytes.size();
  return true;
}

bool TextBuilder::append_text(PyObject* str) noexcept {
  Py_ssize_t n = 0;
  const char* utf8 = PyUnicode_AsUTF8AndSize(str, &n);
  if (OSTREL_LIKELY(utf8 != nullptr)) return append({utf8, static_cast<size_t>(n)});
  if (!PyErr_ExceptionMatches(PyExc_UnicodeEncodeError)) return false;
  PyErr_Clear();
  // Lone surrogates: encode them through, then decode with every invalid
  // byte replaced (maximal subparts), so each becomes three U+FFFD.
  Ref raw = Ref::steal(PyUnicode_AsEncodedString(str, "utf-8", "surrogatepass"));
  if (!raw) return false;
  char* bytes = nullptr;
  Py_ssize_t len = 0;
  if (PyBytes_AsStringAndSize(raw.get(), &bytes, &len) < 0) return false;
  Ref clean = Ref::steal(PyUnicode_DecodeUTF8(bytes, len, "replace"));
  if (!clean) return false;
  utf8 = PyUnicode_AsUTF8AndSize(clean.get(), &n);
  if (utf8 == nullptr) return false;
  return append({utf8, static_cast<size_t>(n)});
}

bool TextBuilder::append_form(PyObject* o, bool use_repr) noexcept {
  Ref text = Ref::steal(use_repr ? PyObject_Repr(o) : PyObject_Str(o));
  return text && append_text(text.get());
}

Outcome TextBuilder::finish() noexcept {
  return Outcome::from(PyUnicode_DecodeUTF8(buf_, static_cast<Py_ssize_t>(len_), nullptr));
}

Outcome wrapped_form(std::string_view prefix, PyObject* payload, bool use_repr) noexcept {
  TextBuilder b;
  if (!b.append(prefix) || !b.append_form(payload, use_repr) || !b.append(")")) {
    return Outcome::capture();
  }
  return b.finish();
}

Outcome exact_str(std::string_view text) noexcept {
  PyObject* s = PyUnicode_FromStringAndSize(text.data(), static_cast<Py_ssize_t>(text.size()));
  if (OSTREL_UNLIKELY(s == nullptr)) return Outcome::internal_null();
  return Outcome::value(Ref::steal(s));
}

}  // namespace ostrel
