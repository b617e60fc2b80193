// Parameter tables and the one argument binder.
//
// Every method and constructor that takes arguments has a constant Params
// table, derived from its declaration (module/signature.hpp). The binder
// fills a fixed array of borrowed slots from the interpreter's arguments,
// allocation-free on success, and converts text and tuple parameters. Every
// binding and conversion message is made here, and only when an error
// occurs.
#pragma once

#include "module/outcome.hpp"

#include <string_view>

namespace ostrel {

// The most parameters any method or constructor declares.
inline constexpr int kMaxParams = 4;

enum class Conv : unsigned char {
  Any,    // passed on as given
  Text,   // a str (or subclass) whose text is taken as UTF-8
  Tuple,  // a tuple (or subclass)
};

struct Param {
  std::string_view name;  // its data() is NUL-terminated
  Conv conv = Conv::Any;
  bool required = true;  // keyword-only parameters only; positional ones use Params::n_required
};

struct Params {
  const char* full_name;  // "Some.map()", used in every message
  const Param* positional = nullptr;
  int n_positional = 0;
  int n_required = 0;  // leading positional parameters that must be given
  const Param* kwonly = nullptr;
  int n_kwonly = 0;
  bool var_positional = false;  // surplus positional arguments are collected
  bool var_keyword = false;     // undeclared keywords are collected

  constexpr int count() const { return n_positional + n_kwonly; }
  constexpr const Param& param(int i) const {
    return i < n_positional ? positional[i] : kwonly[i - n_positional];
  }
  constexpr bool optional(int i) const {
    return i < n_positional ? i >= n_required : !kwonly[i - n_positional].required;
  }
};

// The bound and converted arguments of one call; every pointer is borrowed
// from the interpreter's arguments for the duration of the call. Only the
// entries of declared parameters are written; text entries only for
// converted text parameters.
struct Args {
  PyObject* slot[kMaxParams];  // null when an optional parameter is absent
  const char* text[kMaxParams];
  Py_ssize_t text_len[kMaxParams];
  PyObject* const* var = nullptr;  // surplus positional arguments
  Py_ssize_t n_var = 0;

  PyObject* operator[](int i) const { return slot[i]; }
  std::string_view text_of(int i) const { return {text[i], static_cast<size_t>(text_len[i])}; }
};

// Bind a fast call: `args` holds `nargs` positional values followed by the
// values of the keywords named in `kwnames` (a tuple, or null). Success is
// Outcome::ok(); a failure is the binding or conversion error.
Outcome bind_fast(const Params& p, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                  Args& out) noexcept;
// Bind a constructor call from an argument tuple and a keyword dict (or null).
Outcome bind_tuple(const Params& p, PyObject* args, PyObject* kwargs, Args& out) noexcept;

// True when a call with exactly the positional parameters and no keywords
// needs no checks at all: every positional parameter is required, none is
// converted, and no keyword-only parameter is required.
constexpr bool plain_positional(const Params& p) {
  if (p.n_required != p.n_positional || p.var_positional) return false;
  for (int i = 0; i < p.n_positional; ++i) {
    if (p.positional[i].conv != Conv::Any) return false;
  }
  for (int j = 0; j < p.n_kwonly; ++j) {
    if (p.kwonly[j].required) return false;
  }
  return true;
}

// Inlined into every entry: the common call (positional arguments only, as
// declared) is bound by copying pointers. False sends the call to the one
// generic binder, which reports any error.
template <const Params& P>
inline bool bind_plain(PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames, Args& out) noexcept {
  if constexpr (plain_positional(P)) {
    if (OSTREL_LIKELY(kwnames == nullptr && nargs == P.n_positional)) {
      for (int i = 0; i < P.n_positional; ++i) out.slot[i] = args[i];
      for (int j = 0; j < P.n_kwonly; ++j) out.slot[P.n_positional + j] = nullptr;
      return true;
    }
  }
  return false;
}

template <const Params& P>
inline bool bind_plain_tuple(PyObject* args, PyObject* kwargs, Args& out) noexcept {
  if constexpr (plain_positional(P) && !P.var_keyword) {
    if (OSTREL_LIKELY(kwargs == nullptr && PyTuple_Size(args) == P.n_positional)) {
      for (int i = 0; i < P.n_positional; ++i) out.slot[i] = PyTuple_GetItem(args, i);
      for (int j = 0; j < P.n_kwonly; ++j) out.slot[P.n_positional + j] = nullptr;
      return true;
    }
  }
  return false;
}

}  // namespace ostrel
