// What the module needs from outside: the companion package's UnwrapError
// and types.GenericAlias (cached for the process, one cache per family:
// Cls::Result or Cls::Option), and ostrel.result._rebuild_err and
// copy.deepcopy (looked up at every use).
#pragma once

#include "module/outcome.hpp"
#include "module/types.hpp"

namespace ostrel {

// Each is a new reference, or the lookup's exception.
Outcome unwrap_error_class(Cls family) noexcept;
Outcome generic_alias_class(Cls family) noexcept;
Outcome rebuild_err_function() noexcept;
Outcome deepcopy_function() noexcept;

}  // namespace ostrel
