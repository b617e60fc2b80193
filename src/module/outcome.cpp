#include "module/outcome.hpp"

#include <cstdarg>

namespace ostrel {

namespace {

PyObject* g_internal_failure = nullptr;

constexpr const char kInternalFailureDoc[] =
    "Raised when ostrel_core fails internally, in a way its design rules out.\n"
    "\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so\n"
    "that it is not swallowed by `except Exception:` and normally propagates\n"
    "all the way up and ends the interpreter.";

// Resume an internal failure that a nested call into the module raised and
// that no callback caught: show its Python stack, then continue as an
// internal failure of the current operation with the same message.
Outcome resume_internal_failure(PyObject* type, PyObject* value, PyObject* tb) noexcept {
  Ref message = Ref::steal(value != nullptr ? PyObject_Str(value) : nullptr);
  if (!message) PyErr_Clear();
  PySys_WriteStderr(
      "ostrel_core: resuming an internal failure raised by a nested call;\n"
      "ostrel_core: the Python stack trace of that failure follows.\n");
  PyErr_Restore(type, value, tb);
  PyErr_PrintEx(0);
  if (!message) return Outcome::internal("internal failure (its message could not be rendered)");
  const char* text = PyUnicode_AsUTF8AndSize(message.get(), nullptr);
  if (text == nullptr) {
    PyErr_Clear();
    return Outcome::internal("internal failure (its message could not be rendered)");
  }
  return Outcome::internal(text);
}

}  // namespace

void fatal(const char* what) noexcept { Py_FatalError(what); }

void Outcome::clear() noexcept {
  Py_XDECREF(a_);
  Py_XDECREF(b_);
  Py_XDECREF(c_);
  a_ = b_ = c_ = nullptr;
}

PyObject* internal_failure_class() noexcept {
  if (g_internal_failure == nullptr) {
    g_internal_failure = PyErr_NewExceptionWithDoc("native_runtime.InternalFailure",
                                                   kInternalFailureDoc, PyExc_BaseException, nullptr);
  }
  return g_internal_failure;
}

Outcome Outcome::capture() noexcept {
  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  if (type == nullptr) {
    return raise(PyExc_SystemError, "attempted to fetch exception but none was set");
  }
  PyErr_NormalizeException(&type, &value, &tb);
  if (g_internal_failure != nullptr && type == g_internal_failure) {
    return resume_internal_failure(type, value, tb);
  }
  return captured(type, value, tb);
}

Outcome Outcome::raise(PyObject* type, const char* text) noexcept {
  PyObject* arg = PyUnicode_FromString(text);
  if (arg == nullptr) return capture();
  Py_INCREF(type);
  Outcome o(Kind::Raise, type);
  o.b_ = arg;
  return o;
}

Outcome Outcome::raise_format(PyObject* type, const char* format, ...) noexcept {
  va_list va;
  va_start(va, format);
  PyObject* arg = PyUnicode_FromFormatV(format, va);
  va_end(va);
  if (arg == nullptr) return capture();
  Py_INCREF(type);
  Outcome o(Kind::Raise, type);
  o.b_ = arg;
  return o;
}

Outcome Outcome::raise_instance(Ref instance) noexcept {
  PyObject* type = reinterpret_cast<PyObject*>(Py_TYPE(instance.get()));
  Py_INCREF(type);
  return captured(type, instance.release(), nullptr);
}

Outcome Outcome::internal(const char* message) noexcept {
  PyObject* text = PyUnicode_FromString(message);
  if (text == nullptr) fatal("ostrel_core: could not create the message of an internal failure");
  return Outcome(Kind::Internal, text);
}

Outcome Outcome::internal_format(const char* format, ...) noexcept {
  va_list va;
  va_start(va, format);
  PyObject* text = PyUnicode_FromFormatV(format, va);
  va_end(va);
  if (text == nullptr) fatal("ostrel_core: could not create the message of an internal failure");
  return Outcome(Kind::Internal, text);
}

Outcome Outcome::internal_null() noexcept {
  if (PyErr_Occurred() != nullptr) PyErr_WriteUnraisable(nullptr);
  return internal("PyObject pointer is null");
}

void Outcome::restore() noexcept {
  switch (kind_) {
    case Kind::Captured:
      PyErr_Restore(a_, b_, c_);
      a_ = b_ = c_ = nullptr;
      return;
    case Kind::Raise:
      PyErr_SetObject(a_, b_);
      return;
    case Kind::Internal: {
      PyObject* cls = internal_failure_class();
      if (cls == nullptr) fatal("ostrel_core: could not create native_runtime.InternalFailure");
      PyErr_SetObject(cls, a_);
      return;
    }
    case Kind::Value:
    case Kind::Scalar:
      break;
  }
  fatal("ostrel_core: a successful outcome was reported as a failure");
}

}  // namespace ostrel
