// Interned attribute names, made once per process and read without lookup.
#pragma once

#include "module/python.hpp"

namespace ostrel {

enum class Name : int {
  all,           // "__all__"
  qualname,      // "__qualname__"
  add_note,      // "add_note"
  wrap_err,      // "wrap_err"
  note,          // "note"
  ok_or,         // "ok_or"
  deepcopy,      // "deepcopy"
  rebuild_err,   // "_rebuild_err"
  unwrap_error,  // "UnwrapError"
  generic_alias, // "GenericAlias"
  count_
};

// A borrowed reference to the interned name, or null with an exception set.
PyObject* interned(Name name) noexcept;

}  // namespace ostrel
