// The functions of ostrel._accel, one operation each (one positional
// argument), registered in module.cpp.
#pragma once

#include "module/outcome.hpp"

namespace ostrel::accel {

// Ok(list of the values) or the first Err itself.
Outcome collect(PyObject* results) noexcept;
// (list of the Ok values, list of the Err objects).
Outcome partition(PyObject* results) noexcept;
// Some(list of the values) or the first Nothing itself.
Outcome collect_options(PyObject* options) noexcept;
// List of the Some values.
Outcome somes(PyObject* options) noexcept;

}  // namespace ostrel::accel
