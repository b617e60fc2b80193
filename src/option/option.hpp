// The Option family's internal constructors, shared with the Result family.
#pragma once

#include "module/outcome.hpp"
#include "module/storage.hpp"

namespace ostrel {

// A new Some holding `value`, without argument binding.
inline Outcome new_some(Ref value) noexcept { return new_value_instance(Cls::Some, std::move(value)); }

// A new reference to the one process-wide Nothing, created on first need.
Outcome nothing_instance() noexcept;

}  // namespace ostrel
