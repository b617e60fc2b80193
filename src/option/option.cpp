// Option: the abstract base of Some and Nothing. It cannot be instantiated;
// it offers Option.from_optional and generic subscription.
#include "module/entry.hpp"
#include "module/storage.hpp"
#include "module/variant.hpp"

namespace ostrel {

namespace {

template <Literal D, Literal B = "">
using S = Signature<"Option", D, B>;

// The constructor of Option binds nothing: it refuses every call.
PyObject* option_new(PyTypeObject*, PyObject*, PyObject*) noexcept {
  return entry::finish(Outcome::raise(PyExc_TypeError, "Option is abstract; construct Some(value) or Nothing()"));
}

// None gives the shared Nothing; anything else a new Some. The class it is
// called on plays no part.
Outcome option_from_optional(PyObject*, const Args& a) noexcept {
  if (a[0] == Py_None) return nothing();
  return new_some(Ref::borrow(a[0]));
}

Outcome option_class_getitem(PyObject* cls, const Args& a) noexcept {
  return class_getitem(Cls::Option, cls, a[0]);
}

PyMethodDef kOptionMethods[] = {
    method_row<option_from_optional, S<"from_optional($cls, x)">>(),
    method_row<option_class_getitem, S<"__class_getitem__($cls, args)">>(),
    kEndOfMethods,
};

PyGetSetDef kOptionProperties[] = {kEndOfProperties};

// The class docstring is part of the published interface: kept word for word.
using Constructor = S<"Option(*_args, **_kwargs)",
                      "BIND: class Option(Generic[T_co])\n\nWHY: abstract base of `Some`/`Nothing`; frozen and "
                      "subclassable so\n`isinstance(o, Option)` narrowing works exactly as against the\n"
                      "pure-Python base.">;

const PyType_Slot kOptionSlots[] = {
    {Py_tp_new, as_slot(&option_new)},
};

}  // namespace

const ClassDef kOptionClass = {
    .cls = Cls::Option,
    .name = "Option",
    .qualified_name = "ostrel.option.Option",
    .doc = Constructor::doc.data(),
    .base = kObject,
    .layout = Layout::Empty,
    .subclassable = true,
    .slots = own_slots(kOptionSlots),
    .methods = kOptionMethods,
    .properties = kOptionProperties,
    .attrs = {},
};

}  // namespace ostrel
