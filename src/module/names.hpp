// Interned attribute names, made once per process and then read without
// any lookup.
#pragma once

#include "module/outcome.hpp"

namespace ostrel {

enum class Name : unsigned char {
  all,            // "__all__"
  qualname,       // "__qualname__"
  add_note,       // "add_note"
  wrap_err,       // "wrap_err"
  note,           // "note"
  ok_or,          // "ok_or"
  deepcopy,       // "deepcopy"
  rebuild_err,    // "_rebuild_err"
  unwrap_error,   // "UnwrapError"
  generic_alias,  // "GenericAlias"
  count_
};

// A new reference to the interned name.
Outcome interned(Name name) noexcept;

}  // namespace ostrel
