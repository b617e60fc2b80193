// Result: the abstract base of Ok and Err. It cannot be instantiated; it
// offers Result.catch and generic subscription.
#include "module/entry.hpp"
#include "module/variant.hpp"
#include "result/result.hpp"

namespace ostrel {

namespace {

Outcome result_new(PyTypeObject*, const Args&) noexcept {
  return Outcome::raise(PyExc_TypeError, "Result is abstract; construct Ok(value) or Err(error)");
}

Outcome result_class_getitem(PyObject* cls, const Args& a) noexcept {
  return class_getitem(Family::Result, cls, a[0]);
}

// Does the exception match any of the given targets? A target that is a
// tuple is searched in turn; one that is not an exception class never matches.
bool matches_any(PyObject* exc, PyObject* const* targets, Py_ssize_t n) noexcept {
  for (Py_ssize_t i = 0; i < n; ++i) {
    if (PyErr_GivenExceptionMatches(exc, targets[i])) return true;
  }
  return false;
}

// Result.catch(fn_, *exceptions, on_error): Ok(fn_()) if it returns, or
// Err(on_error(exc)) if it raises an exception matching `exceptions`
// (Exception when none are given). Anything else propagates unchanged.
Outcome result_catch(PyObject*, const Args& a) noexcept {
  Ref returned = Ref::steal(PyObject_CallNoArgs(a[0]));
  if (returned) return new_ok(std::move(returned));

  PyObject *type = nullptr, *value = nullptr, *tb = nullptr;
  PyErr_Fetch(&type, &value, &tb);
  if (type == nullptr) return Outcome::capture();  // reports the missing exception
  PyErr_NormalizeException(&type, &value, &tb);
  PyObject* exc = value != nullptr ? value : type;
  PyObject* default_target = PyExc_Exception;
  const bool match = a.n_var > 0 ? matches_any(exc, a.var, a.n_var) : matches_any(exc, &default_target, 1);
  if (!match) {
    // Not ours to handle: it leaves exactly as any other failure of a call.
    PyErr_Restore(type, value, tb);
    return Outcome::capture();
  }
  Outcome caught = Outcome::captured(type, value, tb);  // released once on_error has run
  Outcome handled = call(a[1], exc);
  if (!handled.is_value()) return handled;
  return new_plain_err(handled.take());
}

constexpr Param kArgs[] = {{"args"}};
constexpr Param kCatchFn[] = {{"fn_"}};
constexpr Param kCatchKw[] = {{"on_error"}};

constexpr Params kNew{"Result.__new__()", nullptr, 0, 0, nullptr, 0, true, true};
constexpr Params kClassGetitem{"Result.__class_getitem__()", kArgs, 1, 1};
constexpr Params kCatch{"Result.catch()", kCatchFn, 1, 1, kCatchKw, 1, true, false};

PyMethodDef kResultMethods[] = {
    class_method_row<result_catch, kCatch>("catch", "catch($cls, fn_, *exceptions, on_error)\n--\n\n"),
    class_method_row<result_class_getitem, kClassGetitem>("__class_getitem__",
                                                          "__class_getitem__($cls, args)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kResultProperties[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kResultSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&entry::construct<result_new, kNew>)},
    {0, nullptr},
};

}  // namespace

const ClassDef kResultClass = {
    "Result",
    "ostrel.result.Result",
    "Result(*_args, **_kwargs)\n--\n\nBIND: class Result(Generic[T_co, E_co])\n\nWHY: abstract base "
    "of `Ok`/`Err`; frozen and subclassable so\n`isinstance(r, Result)` and `match r: case Ok(v): ...` "
    "narrowing work\nexactly as they do against the pure-Python base.",
    Cls::count_,
    static_cast<int>(sizeof(PyObject)),
    Py_TPFLAGS_BASETYPE,
    kResultSlots,
    kResultMethods,
    kResultProperties,
    dealloc_empty,
    nullptr,
    nullptr,
    nullptr,
    0,
};

}  // namespace ostrel
