// partition and somes: walk the whole iterable and sort its items by variant.
#include "accel/helpers.hpp"
#include "accel/variants.hpp"

namespace ostrel::accel {

namespace {

// The payloads of the items of class `good`, and (when `rest` is not null)
// the items of class `other` themselves, in order; any other item is a
// TypeError naming its position.
Outcome sort_variants(const char* fn, PyObject* iterable, PyObject* good, PyObject* other,
                      PyObject* rest, const char* expected, Ref& values) noexcept {
  Ref iterator = Ref::steal(PyObject_GetIter(iterable));
  if (!iterator) return Outcome::capture();
  values = Ref::steal(PyList_New(0));
  if (!values) return Outcome::capture();
  for (Py_ssize_t index = 0;; ++index) {
    Ref item = Ref::steal(PyIter_Next(iterator.get()));
    if (!item) {
      if (PyErr_Occurred() != nullptr) return Outcome::capture();
      return Outcome::same(Py_None);
    }
    if (OSTREL_LIKELY(is_type(item.get(), good))) {
      Ref owner;
      PyObject* value = payload(item.get(), owner);
      if (value == nullptr || PyList_Append(values.get(), value) < 0) return Outcome::capture();
    } else if (is_type(item.get(), other)) {
      if (rest != nullptr && PyList_Append(rest, item.get()) < 0) return Outcome::capture();
    } else {
      return wrong_item(fn, index, item.get(), expected);
    }
  }
}

}  // namespace

Outcome partition(PyObject* results) noexcept {
  const Variants& v = variants();
  Ref errs = Ref::steal(PyList_New(0));
  if (!errs) return Outcome::capture();
  Ref values;
  Outcome walked = sort_variants("partition", results, v.ok, v.err, errs.get(), "Ok or Err", values);
  if (!walked.is_value()) return walked;
  return Outcome::from(PyTuple_Pack(2, values.get(), errs.get()));
}

Outcome somes(PyObject* options) noexcept {
  const Variants& v = variants();
  Ref values;
  Outcome walked = sort_variants("somes", options, v.some, v.nothing, nullptr, "Some or Nothing", values);
  if (!walked.is_value()) return walked;
  return Outcome::value(std::move(values));
}

}  // namespace ostrel::accel
