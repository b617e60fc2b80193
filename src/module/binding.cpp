#include "module/binding.hpp"

#include "module/names.hpp"

#include <cstdio>

namespace ostrel {

namespace {

const char* was_were(Py_ssize_t n) { return n == 1 ? "was" : "were"; }

Outcome too_many_positional(const Params& p, Py_ssize_t given) {
  if (p.n_required == p.n_positional) {
    return Outcome::raise_format(PyExc_TypeError, "%s takes %d positional arguments but %zd %s given",
                                 p.full_name, p.n_positional, given, was_were(given));
  }
  return Outcome::raise_format(PyExc_TypeError, "%s takes from %d to %d positional arguments but %zd %s given",
                               p.full_name, p.n_required, p.n_positional, given, was_were(given));
}

Outcome unexpected_keyword(const Params& p, PyObject* key) {
  Ref text = Ref::steal(PyObject_Str(key));
  if (!text) return Outcome::capture();
  return Outcome::raise_format(PyExc_TypeError, "%s got an unexpected keyword argument '%U'", p.full_name,
                               text.get());
}

Outcome multiple_values(const Params& p, int index) {
  return Outcome::raise_format(PyExc_TypeError, "%s got multiple values for argument '%s'", p.full_name,
                               p.param(index).name.data());
}

// "'a'", "'a' and 'b'", "'a', 'b', and 'c'".
Outcome missing(const Params& p, const int* indices, int n, const char* kind) {
  char list[256];
  size_t used = 0;
  list[0] = '\0';
  for (int k = 0; k < n; ++k) {
    const char* sep = k == 0 ? "" : (n == 2 ? " and " : (k == n - 1 ? ", and " : ", "));
    const int w = std::snprintf(list + used, sizeof list - used, "%s'%s'", sep, p.param(indices[k]).name.data());
    if (w < 0 || static_cast<size_t>(w) >= sizeof list - used) break;
    used += static_cast<size_t>(w);
  }
  return Outcome::raise_format(PyExc_TypeError, "%s missing %d required %s %s: %s", p.full_name, n, kind,
                               n == 1 ? "argument" : "arguments", list);
}

// Give a conversion error the note "while processing '<name>'". Interpreters
// without BaseException.add_note keep the exception as it is.
void add_processing_note(PyObject* exc, std::string_view name) {
  Outcome method = interned(Name::add_note);
  Ref note = Ref::steal(PyUnicode_FromFormat("while processing '%s'", name.data()));
  if (!method.is_value() || !note) {
    drop_pending();
    return;
  }
  Ref r = Ref::steal(PyObject_CallMethodObjArgs(exc, method.peek(), note.get(), nullptr));
  if (!r) drop_pending();
}

Outcome type_mismatch(PyObject* arg, const char* expected, std::string_view name) {
  Ref message;
  if (arg == Py_None) {
    message = Ref::steal(PyUnicode_FromFormat("'None' is not an instance of '%s'", expected));
  } else {
    Outcome qualname_attr = interned(Name::qualname);
    if (!qualname_attr.is_value()) return qualname_attr;
    Ref qualname = Ref::steal(PyObject_GetAttr(reinterpret_cast<PyObject*>(Py_TYPE(arg)), qualname_attr.peek()));
    if (!qualname) return Outcome::capture();
    message = Ref::steal(
        PyUnicode_FromFormat("'%S' object is not an instance of '%s'", qualname.get(), expected));
  }
  if (!message) return Outcome::capture();
  Ref exc = Ref::steal(PyObject_CallFunctionObjArgs(PyExc_TypeError, message.get(), nullptr));
  if (!exc) return Outcome::capture();
  add_processing_note(exc.get(), name);
  return Outcome::raise_instance(std::move(exc));
}

// The error of a conversion that the interpreter reported, with the note.
Outcome conversion_failed(std::string_view name) {
  Fetched exc = Fetched::take();
  if (exc.value() != nullptr) add_processing_note(exc.value(), name);
  return Outcome::exception(std::move(exc));
}

Outcome convert(const Params& p, Args& out) {
  const int n = p.count();
  for (int i = 0; i < n; ++i) {
    PyObject* arg = out.slot[i];
    if (arg == nullptr) continue;
    const Param& param = p.param(i);
    switch (param.conv) {
      case Conv::Any:
        break;
      case Conv::Text: {
        if (!PyUnicode_Check(arg)) return type_mismatch(arg, "str", param.name);
        Py_ssize_t len = 0;
        const char* text = PyUnicode_AsUTF8AndSize(arg, &len);
        if (text == nullptr) return conversion_failed(param.name);
        out.text[i] = text;
        out.text_len[i] = len;
        break;
      }
      case Conv::Tuple:
        if (!PyTuple_Check(arg)) return type_mismatch(arg, "tuple", param.name);
        break;
    }
  }
  return Outcome::ok();
}

// Find a keyword among the declared names: keyword-only ones first, then the
// positional ones, by exact comparison of the UTF-8 text. A keyword whose
// text cannot be taken as UTF-8 is not found. -1 if not found.
int find_keyword(const Params& p, PyObject* key) {
  Py_ssize_t len = 0;
  const char* text = PyUnicode_Check(key) ? PyUnicode_AsUTF8AndSize(key, &len) : nullptr;
  if (text == nullptr) {
    drop_pending();
    return -1;
  }
  const std::string_view k(text, static_cast<size_t>(len));
  for (int j = 0; j < p.n_kwonly; ++j) {
    if (p.kwonly[j].name == k) return p.n_positional + j;
  }
  for (int j = 0; j < p.n_positional; ++j) {
    if (p.positional[j].name == k) return j;
  }
  return -1;
}

// The steps shared by both calling conventions once positional arguments are
// in place: keywords, then missing required parameters, then absent optional
// ones, then conversion.
template <class ForEachKeyword>
Outcome bind_common(const Params& p, Py_ssize_t nargs, ForEachKeyword for_each_keyword, Args& out) {
  Outcome failed = for_each_keyword([&](PyObject* key, PyObject* value) -> Outcome {
    const int index = find_keyword(p, key);
    if (index < 0) return p.var_keyword ? Outcome::ok() : unexpected_keyword(p, key);
    if (out.slot[index] != nullptr) return multiple_values(p, index);
    out.slot[index] = value;
    return Outcome::ok();
  });
  if (!failed.is_value()) return failed;

  int empty[kMaxParams];
  int n_empty = 0;
  if (nargs < p.n_required) {
    for (int i = 0; i < p.n_required; ++i) {
      if (out.slot[i] == nullptr) empty[n_empty++] = i;
    }
    if (n_empty > 0) return missing(p, empty, n_empty, "positional");
  }
  for (int j = 0; j < p.n_kwonly; ++j) {
    if (p.kwonly[j].required && out.slot[p.n_positional + j] == nullptr) empty[n_empty++] = p.n_positional + j;
  }
  if (n_empty > 0) return missing(p, empty, n_empty, "keyword");

  const int n = p.count();
  for (int i = 0; i < n; ++i) {
    if (out.slot[i] == Py_None && p.optional(i)) out.slot[i] = nullptr;
  }
  return convert(p, out);
}

// Every declared slot starts empty.
void clear(const Params& p, Args& out) {
  for (int i = 0; i < p.count(); ++i) out.slot[i] = nullptr;
  out.var = nullptr;
  out.n_var = 0;
}

}  // namespace

Outcome bind_fast(const Params& p, PyObject* const* args, Py_ssize_t nargs, PyObject* kwnames,
                  Args& out) noexcept {
  clear(p, out);
  const Py_ssize_t take = nargs < p.n_positional ? nargs : p.n_positional;
  for (Py_ssize_t i = 0; i < take; ++i) out.slot[i] = args[i];
  if (nargs > p.n_positional) {
    if (!p.var_positional) return too_many_positional(p, nargs);
    out.var = args + p.n_positional;
    out.n_var = nargs - p.n_positional;
  }
  auto for_each_keyword = [&](auto&& visit) {
    const Py_ssize_t n = kwnames == nullptr ? 0 : PyTuple_Size(kwnames);
    for (Py_ssize_t k = 0; k < n; ++k) {
      Outcome o = visit(PyTuple_GetItem(kwnames, k), args[nargs + k]);
      if (!o.is_value()) return o;
    }
    return Outcome::ok();
  };
  return bind_common(p, nargs, for_each_keyword, out);
}

Outcome bind_tuple(const Params& p, PyObject* args, PyObject* kwargs, Args& out) noexcept {
  clear(p, out);
  const Py_ssize_t nargs = PyTuple_Size(args);
  const Py_ssize_t take = nargs < p.n_positional ? nargs : p.n_positional;
  for (Py_ssize_t i = 0; i < take; ++i) out.slot[i] = PyTuple_GetItem(args, i);
  // Surplus positional arguments of a constructor are never examined, so
  // they are not copied out of the tuple.
  if (nargs > p.n_positional && !p.var_positional) return too_many_positional(p, nargs);
  auto for_each_keyword = [&](auto&& visit) {
    Py_ssize_t pos = 0;
    PyObject *key = nullptr, *value = nullptr;
    while (kwargs != nullptr && PyDict_Next(kwargs, &pos, &key, &value)) {
      Outcome o = visit(key, value);
      if (!o.is_value()) return o;
    }
    return Outcome::ok();
  };
  return bind_common(p, nargs, for_each_keyword, out);
}

}  // namespace ostrel
