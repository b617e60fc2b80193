#include "module/outcome.hpp"

#include "module/once.hpp"

#include <cstdarg>

namespace ostrel {

namespace {

constexpr const char kInternalFailureDoc[] =
    "Raised when ostrel_core fails internally, in a way its design rules out.\n"
    "\n"
    "Like SystemExit, it derives from BaseException rather than Exception, so\n"
    "that it is not swallowed by `except Exception:` and normally propagates\n"
    "all the way up and ends the interpreter.";

// native_runtime.InternalFailure, made on first need.
OnceCell g_internal_failure;

Outcome internal_failure_class() noexcept {
  return g_internal_failure.get([] {
    return Outcome::from(PyErr_NewExceptionWithDoc("native_runtime.InternalFailure", kInternalFailureDoc,
                                                   PyExc_BaseException, nullptr));
  });
}

// Resume an internal failure that a nested call into the module raised and
// that no callback caught: show its Python stack, then continue as an
// internal failure of the current operation with the same message.
Outcome resume_internal_failure(Fetched&& failure) noexcept {
  constexpr const char kUnrendered[] = "internal failure (its message could not be rendered)";
  Ref message = Ref::steal(failure.value() != nullptr ? PyObject_Str(failure.value()) : nullptr);
  if (!message) drop_pending();
  PySys_WriteStderr(
      "ostrel_core: resuming an internal failure raised by a nested call;\n"
      "ostrel_core: the Python stack trace of that failure follows.\n");
  failure.restore();
  PyErr_PrintEx(0);
  if (!message) return Outcome::internal(kUnrendered);
  const char* text = PyUnicode_AsUTF8AndSize(message.get(), nullptr);
  if (text == nullptr) {
    drop_pending();
    return Outcome::internal(kUnrendered);
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

Outcome Outcome::exception(Fetched&& exc) noexcept {
  if (!exc) return raise(PyExc_SystemError, "attempted to fetch exception but none was set");
  if (g_internal_failure.peek() != nullptr && exc.type() == g_internal_failure.peek()) {
    return resume_internal_failure(std::move(exc));
  }
  Outcome o(Kind::Exception, nullptr);
  exc.release(&o.a_, &o.b_, &o.c_);
  return o;
}

Outcome Outcome::capture() noexcept { return exception(Fetched::take()); }

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
  return exception(Fetched::adopt(type, instance.release(), nullptr));
}

Outcome Outcome::internal(const char* message) noexcept {
  PyObject* text = PyUnicode_FromString(message);
  if (text == nullptr) return capture();
  return Outcome(Kind::Internal, text);
}

Outcome Outcome::internal_format(const char* format, ...) noexcept {
  va_list va;
  va_start(va, format);
  PyObject* text = PyUnicode_FromFormatV(format, va);
  va_end(va);
  if (text == nullptr) return capture();
  return Outcome(Kind::Internal, text);
}

Outcome Outcome::internal_null() noexcept {
  if (PyErr_ExceptionMatches(PyExc_MemoryError)) return capture();
  if (PyErr_Occurred() != nullptr) PyErr_WriteUnraisable(nullptr);
  return internal("PyObject pointer is null");
}

void Outcome::restore() noexcept {
  switch (kind_) {
    case Kind::Exception:
      Fetched::adopt(a_, b_, c_).restore();
      a_ = b_ = c_ = nullptr;
      return;
    case Kind::Raise:
      PyErr_SetObject(a_, b_);
      return;
    case Kind::Internal: {
      Outcome cls = internal_failure_class();
      // Without memory for the class, the MemoryError that says so stands.
      if (cls.is_value()) {
        PyErr_SetObject(cls.peek(), a_);
      } else {
        cls.restore();
      }
      return;
    }
    case Kind::Value:
    case Kind::Scalar:
      break;
  }
  fatal("ostrel_core: a successful outcome was reported as a failure");
}

}  // namespace ostrel
