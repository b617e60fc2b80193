// What the module needs from outside: the companion package's UnwrapError
// and types.GenericAlias (cached for the process, one cache per family), and
// ostrel.result._rebuild_err and copy.deepcopy (looked up at every use).
#pragma once

#include "module/ref.hpp"

namespace ostrel {

enum class Family { Option, Result };

// Each returns a new reference, or null with the lookup's exception set.
Ref unwrap_error_class(Family family) noexcept;
Ref generic_alias_class(Family family) noexcept;
Ref rebuild_err_function() noexcept;
Ref deepcopy_function() noexcept;

}  // namespace ostrel
