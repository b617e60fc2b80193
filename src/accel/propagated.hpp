// ostrel._accel.Propagated, the synchronous wrapper of ostrel.propagate.
#pragma once

#include "module/outcome.hpp"

namespace ostrel::accel {

// Create the class and add it to `module` as Propagated.
Outcome add_propagated(PyObject* module) noexcept;

}  // namespace ostrel::accel
