// The Result family's internal constructors and its unwrap failure protocol,
// shared with the Option family.
#pragma once

#include "module/companion.hpp"
#include "module/outcome.hpp"
#include "module/storage.hpp"

#include <string_view>

namespace ostrel {

// A new Ok holding `value`, without argument binding.
inline Outcome new_ok(Ref value) noexcept { return new_value_instance(Cls::Ok, std::move(value)); }
// A new Err holding the three references as given; notes and trace are tuples.
inline Outcome new_err(Ref error, Ref notes, Ref trace) noexcept {
  return new_err_instance(std::move(error), std::move(notes), std::move(trace));
}
// A new Err holding `error` with empty notes and trace.
Outcome new_plain_err(Ref error) noexcept;

// The one way every unwrap failure is raised: UnwrapError(container) or
// UnwrapError(container, msg) is called, and that very instance is raised.
Outcome raise_unwrap(Family family, PyObject* container) noexcept;
Outcome raise_unwrap(Family family, PyObject* container, std::string_view msg) noexcept;

}  // namespace ostrel
