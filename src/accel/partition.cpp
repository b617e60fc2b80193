// partition and somes: walk the whole iterable and sort its items by variant.
#include "accel/helpers.hpp"
#include "accel/variants.hpp"
#include "module/threads.hpp"

namespace ostrel::accel {

namespace {

// The payloads of the items of class `good` into `values`, and (when `rest`
// is not null) the items of class `other` themselves into `rest`, in order;
// any other item is a TypeError naming its position.
Outcome sort_variants(const char* fn, PyObject* iterable, PyObject* good, PyObject* other,
                      ListBuilder* rest, const char* expected, ListBuilder& values) noexcept {
  Ref iterator = Ref::steal(PyObject_GetIter(iterable));
  if (!iterator) return Outcome::capture();
  for (Py_ssize_t index = 0;; ++index) {
    Ref item = Ref::steal(PyIter_Next(iterator.get()));
    if (!item) {
      if (PyErr_Occurred() != nullptr) return Outcome::capture();
      return Outcome::same(Py_None);
    }
    if (OSTREL_LIKELY(is_type(item.get(), good))) {
      Ref owner;
      PyObject* value = payload(item.get(), owner);
      if (value == nullptr || !values.append(value)) return Outcome::capture();
    } else if (is_type(item.get(), other)) {
      if (rest != nullptr && !rest->append(item.get())) return Outcome::capture();
    } else {
      return wrong_item(fn, index, item.get(), expected);
    }
  }
}

}  // namespace

Outcome partition(PyObject* results) noexcept {
  const Variants& v = variants();
  ListBuilder values;
  ListBuilder errs;
  Outcome walked = sort_variants("partition", results, v.ok, v.err, &errs, "Ok or Err", values);
  if (!walked.is_value()) return walked;
  Ref oks = Ref::steal(values.finish());
  if (!oks) return Outcome::capture();
  Ref failures = Ref::steal(errs.finish());
  if (!failures) return Outcome::capture();
  return Outcome::from(PyTuple_Pack(2, oks.get(), failures.get()));
}

Outcome somes(PyObject* options) noexcept {
  const Variants& v = variants();
  ListBuilder values;
  Outcome walked = sort_variants("somes", options, v.some, v.nothing, nullptr, "Some or Nothing", values);
  if (!walked.is_value()) return walked;
  return Outcome::from(values.finish());
}

}  // namespace ostrel::accel
