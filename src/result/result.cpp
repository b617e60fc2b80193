// Result: the abstract base of Ok and Err. It cannot be instantiated; it
// offers Result.catch and generic subscription.
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/variant.hpp"

#include <cstddef>
#include <iterator>

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Result", D, B>;

Outcome result_new(PyTypeObject*, const Args&) noexcept {
  return Outcome::raise(PyExc_TypeError, "Result is abstract; construct Ok(value) or Err(error)");
}

Outcome result_class_getitem(PyObject* cls, const Args& a) noexcept {
  return class_getitem(Cls::Result, cls, a[0]);
}

// Does the exception match the target, as an except clause tests it? A
// target that is a tuple is searched in turn, however deeply it nests; one
// that is not an exception class never matches. The walk keeps its own stack
// instead of recursing, so a caller's nesting cannot exhaust the C stack;
// nesting deeper than the recursion limit raises RecursionError, as
// isinstance() does.
Outcome matches(PyObject* exc, PyObject* target) noexcept {
  if (!PyTuple_Check(target)) return Outcome::boolean(PyErr_GivenExceptionMatches(exc, target) != 0);
  struct Level {
    PyObject* tuple;  // borrowed: held by the caller's arguments
    Py_ssize_t next;
  };
  Level inline_levels[16];
  Level* levels = inline_levels;
  std::size_t capacity = std::size(inline_levels);
  struct Release {
    Level*& levels;
    Level* inline_levels;
    ~Release() {
      if (levels != inline_levels) PyMem_Free(levels);
    }
  } release{levels, inline_levels};

  const auto limit = static_cast<std::size_t>(Py_GetRecursionLimit());
  std::size_t depth = 0;
  levels[depth++] = {target, 0};
  while (depth > 0) {
    Level& top = levels[depth - 1];
    if (top.next >= PyTuple_Size(top.tuple)) {
      --depth;
      continue;
    }
    PyObject* item = PyTuple_GetItem(top.tuple, top.next++);
    if (!PyTuple_Check(item)) {
      if (PyErr_GivenExceptionMatches(exc, item)) return Outcome::boolean(true);
      continue;
    }
    if (depth >= limit) {
      // Raised here, inside the caller's handling scope, so that it chains to the exception being matched.
      PyErr_SetString(PyExc_RecursionError,
                      "maximum recursion depth exceeded while matching an exception against nested tuples");
      return Outcome::capture();
    }
    if (depth == capacity) {
      auto* grown = static_cast<Level*>(PyMem_Malloc(2 * capacity * sizeof(Level)));
      if (grown == nullptr) {
        PyErr_NoMemory();
        return Outcome::capture();
      }
      for (std::size_t i = 0; i < depth; ++i) grown[i] = levels[i];
      if (levels != inline_levels) PyMem_Free(levels);
      levels = grown;
      capacity *= 2;
    }
    levels[depth++] = {item, 0};
  }
  return Outcome::boolean(false);
}

Outcome matches_any(PyObject* exc, PyObject* const* targets, Py_ssize_t n) noexcept {
  for (Py_ssize_t i = 0; i < n; ++i) {
    Outcome m = matches(exc, targets[i]);
    if (!m.is_value() || m.peek() == Py_True) return m;
  }
  return Outcome::boolean(false);
}

// Result.catch(fn_, *exceptions, on_error): Ok(fn_()) if it returns, or
// Err(on_error(exc)) if it raises an exception matching `exceptions`
// (Exception when none are given). Anything else propagates unchanged.
// While the exception is matched and handed to on_error it is the exception
// being handled, as in an except clause: what on_error raises has it as
// __context__, and a bare `raise` re-raises it.
Outcome result_catch(PyObject*, const Args& a) noexcept {
  Ref returned = Ref::steal(PyObject_CallNoArgs(a[0]));
  if (returned) return new_ok(std::move(returned));

  Fetched caught = Fetched::take();
  if (!caught) return Outcome::exception(std::move(caught));  // reports the missing exception
  Outcome handled = Outcome::ok();
  {
    Handling scope(caught);
    PyObject* default_target = PyExc_Exception;
    Outcome match = a.n_var > 0 ? matches_any(caught.value(), a.var, a.n_var)
                                : matches_any(caught.value(), &default_target, 1);
    if (!match.is_value()) return match;
    if (match.peek() != Py_True) return Outcome::exception(std::move(caught));
    handled = call(a[1], caught.value());
  }
  if (!handled.is_value()) return handled;
  return new_err(handled.take());
}

PyMethodDef kResultMethods[] = {
    method_row<result_catch, S<"catch($cls, fn_, *exceptions, on_error)">>(),
    method_row<result_class_getitem, S<"__class_getitem__($cls, args)">>(),
    kEndOfMethods,
};

PyGetSetDef kResultProperties[] = {kEndOfProperties};

// The class docstring is part of the published interface: kept word for word.
using Constructor = S<"Result(*_args, **_kwargs)",
                      "BIND: class Result(Generic[T_co, E_co])\n\nWHY: abstract base of `Ok`/`Err`; frozen and "
                      "subclassable so\n`isinstance(r, Result)` and `match r: case Ok(v): ...` narrowing work\n"
                      "exactly as they do against the pure-Python base.">;

const PyType_Slot kResultSlots[] = {
    {Py_tp_new, as_slot(&entry::construct<result_new, Constructor::params>)},
};

}  // namespace

const ClassDef kResultClass = {
    .cls = Cls::Result,
    .name = "Result",
    .qualified_name = "ostrel.result.Result",
    .doc = Constructor::doc.data(),
    .base = kObject,
    .layout = Layout::Empty,
    .subclassable = true,
    .slots = own_slots(kResultSlots),
    .methods = kResultMethods,
    .properties = kResultProperties,
    .attrs = {},
};

}  // namespace ostrel
