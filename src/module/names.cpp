#include "module/names.hpp"

namespace ostrel {

namespace {

constexpr const char* kTexts[] = {
    "__all__", "__qualname__", "add_note",     "wrap_err",    "note",
    "ok_or",   "deepcopy",     "_rebuild_err", "UnwrapError", "GenericAlias",
};
static_assert(sizeof(kTexts) / sizeof(kTexts[0]) == static_cast<int>(Name::count_));

PyObject* g_names[static_cast<int>(Name::count_)] = {};

}  // namespace

PyObject* interned(Name name) noexcept {
  // Interning runs no Python code and never releases the GIL, so the first
  // caller fills the entry before any other thread can look at it.
  PyObject*& cell = g_names[static_cast<int>(name)];
  if (OSTREL_UNLIKELY(cell == nullptr)) cell = PyUnicode_InternFromString(kTexts[static_cast<int>(name)]);
  return cell;
}

}  // namespace ostrel
