#include "module/names.hpp"

#include "module/once.hpp"

#include <array>

namespace ostrel {

namespace {

constexpr std::array<const char*, static_cast<size_t>(Name::count_)> kTexts = {
    "__all__", "__qualname__", "add_note",     "wrap_err",    "note",
    "ok_or",   "deepcopy",     "_rebuild_err", "UnwrapError", "GenericAlias",
};

std::array<OnceCell, static_cast<size_t>(Name::count_)> g_names;

}  // namespace

Outcome interned(Name name) noexcept {
  const auto i = static_cast<size_t>(name);
  return g_names[i].get([i] { return Outcome::from(PyUnicode_InternFromString(kTexts[i])); });
}

}  // namespace ostrel
