// The unwrap failure protocol: the one way in which taking a payload from the
// wrong variant fails, in both families. UnwrapError(container) or
// UnwrapError(container, msg) is called, and that very instance is raised
// with nothing attached to it.
#pragma once

#include "module/outcome.hpp"
#include "module/types.hpp"

#include <string_view>

namespace ostrel {

// `family` is Cls::Result or Cls::Option: the raise site's family, which
// selects the UnwrapError cache.
Outcome raise_unwrap(Cls family, PyObject* container) noexcept;
Outcome raise_unwrap(Cls family, PyObject* container, std::string_view msg) noexcept;

}  // namespace ostrel
