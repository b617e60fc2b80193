// ostrel._accel.UnwrapErrorBase, the native base of ostrel.UnwrapError.
#pragma once

#include "module/outcome.hpp"

namespace ostrel::accel {

// Create the class and add it to `module` as UnwrapErrorBase.
Outcome add_unwrap_error_base(PyObject* module) noexcept;

}  // namespace ostrel::accel
