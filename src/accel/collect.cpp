// collect and collect_options: all the payloads of an iterable of results
// (options), or its first failure, consuming nothing after that failure.
#include "accel/helpers.hpp"
#include "accel/variants.hpp"
#include "module/threads.hpp"

namespace ostrel::accel {

namespace {

// Walk `iterable`: the payload of every item of class `good` goes into a
// list; the first item of class `stop` is returned itself at once; anything
// else is a TypeError naming its position. With no `stop` item, the list is
// wrapped in `good`.
Outcome collect_variants(const char* fn, PyObject* iterable, PyObject* good, PyObject* stop,
                         const char* expected) noexcept {
  Ref iterator = Ref::steal(PyObject_GetIter(iterable));
  if (!iterator) return Outcome::capture();
  ListBuilder values;
  for (Py_ssize_t index = 0;; ++index) {
    Ref item = Ref::steal(PyIter_Next(iterator.get()));
    if (!item) {
      if (PyErr_Occurred() != nullptr) return Outcome::capture();
      break;
    }
    if (OSTREL_LIKELY(is_type(item.get(), good))) {
      Ref owner;
      PyObject* value = payload(item.get(), owner);
      if (value == nullptr || !values.append(value)) return Outcome::capture();
    } else if (is_type(item.get(), stop)) {
      return Outcome::value(std::move(item));
    } else {
      return wrong_item(fn, index, item.get(), expected);
    }
  }
  Ref list = Ref::steal(values.finish());
  if (!list) return Outcome::capture();
  return Outcome::from(PyObject_CallFunctionObjArgs(good, list.get(), nullptr));
}

}  // namespace

Outcome collect(PyObject* results) noexcept {
  const Variants& v = variants();
  return collect_variants("collect", results, v.ok, v.err, "Ok or Err");
}

Outcome collect_options(PyObject* options) noexcept {
  const Variants& v = variants();
  return collect_variants("collect_options", options, v.some, v.nothing, "Some or Nothing");
}

}  // namespace ostrel::accel
