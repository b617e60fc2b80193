// Option: the abstract base of Some and Nothing. It cannot be instantiated;
// it offers Option.from_optional and generic subscription.
#include "option/option.hpp"

#include "module/entry.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

Outcome option_new(PyTypeObject*, PyObject*, PyObject*) noexcept {
  return Outcome::raise(PyExc_TypeError, "Option is abstract; construct Some(value) or Nothing()");
}

// The constructor of Option binds nothing: it refuses every call.
PyObject* option_tp_new(PyTypeObject* type, PyObject* args, PyObject* kwargs) noexcept {
  return entry::finish(option_new(type, args, kwargs));
}

// None gives the shared Nothing; anything else a new Some. The class it is
// called on plays no part.
Outcome option_from_optional(PyObject*, const Args& a) noexcept {
  if (a[0] == Py_None) return nothing_instance();
  return new_some(Ref::borrow(a[0]));
}

Outcome option_class_getitem(PyObject* cls, const Args& a) noexcept {
  return class_getitem(Family::Option, cls, a[0]);
}

constexpr Param kX[] = {{"x"}};
constexpr Param kArgs[] = {{"args"}};
constexpr Params kFromOptional{"Option.from_optional()", kX, 1, 1};
constexpr Params kClassGetitem{"Option.__class_getitem__()", kArgs, 1, 1};

PyMethodDef kOptionMethods[] = {
    class_method_row<option_from_optional, kFromOptional>("from_optional",
                                                          "from_optional($cls, x)\n--\n\n"),
    class_method_row<option_class_getitem, kClassGetitem>("__class_getitem__",
                                                          "__class_getitem__($cls, args)\n--\n\n"),
    {nullptr, nullptr, 0, nullptr},
};

PyGetSetDef kOptionProperties[] = {
    {nullptr, nullptr, nullptr, nullptr, nullptr},
};

const PyType_Slot kOptionSlots[] = {
    {Py_tp_new, reinterpret_cast<void*>(&option_tp_new)},
    {0, nullptr},
};

}  // namespace

const ClassDef kOptionClass = {
    "Option",
    "ostrel.option.Option",
    "Option(*_args, **_kwargs)\n--\n\nBIND: class Option(Generic[T_co])\n\nWHY: abstract base of "
    "`Some`/`Nothing`; frozen and subclassable so\n`isinstance(o, Option)` narrowing works exactly as "
    "against the\npure-Python base.",
    Cls::count_,
    static_cast<int>(sizeof(PyObject)),
    Py_TPFLAGS_BASETYPE,
    kOptionSlots,
    kOptionMethods,
    kOptionProperties,
    dealloc_empty,
    nullptr,
    nullptr,
    nullptr,
    0,
};

}  // namespace ostrel
