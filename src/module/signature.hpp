// One declaration per method or constructor, from which everything else is
// derived at compile time: the docstring's text-signature header, the full
// name used in binding messages, and the parameter table of the binder.
//
//   Signature<"Err", "expect($self, msg: str)">
//     header    "expect($self, msg)\n--\n\n"   (then the body, if any)
//     full name "Err.expect()"
//     params    one required positional parameter `msg`, converted as text
//
// A declaration is `name(item, item, ...)`. Items: `$self` or `$cls` (the
// receiver; `$cls` makes a class method), `*` (the rest is keyword-only),
// `*name` (surplus positional arguments), `**name` (undeclared keywords), and
// parameters `name`, `name=None` (optional), `name: str` (converted as text),
// `name: tuple` (must be a tuple). The header shows each item as declared,
// without the conversion. A declaration without a receiver is a
// constructor: its full name is `Class.__new__()`.
#pragma once

#include "module/binding.hpp"

#include <array>
#include <cstddef>
#include <string_view>

namespace ostrel {

// A string literal usable as a template argument.
template <std::size_t N>
struct Literal {
  char text[N]{};
  constexpr Literal(const char (&s)[N]) noexcept {  // NOLINT(google-explicit-constructor)
    for (std::size_t i = 0; i < N; ++i) text[i] = s[i];
  }
  constexpr std::string_view view() const noexcept { return {text, N - 1}; }
};

namespace sig {

// Not defined: calling it during constant evaluation stops the build with
// the declaration that is malformed.
void malformed_declaration(const char* why);

inline constexpr std::size_t kMaxItems = 8;

// Index of the first `what` in `text` at or after `from`, or npos. Written
// out by hand: the standard search compares pointers in a way some compilers
// will not evaluate at compile time under sanitizers.
constexpr std::size_t index_of(std::string_view text, std::string_view what, std::size_t from = 0) {
  for (std::size_t i = from; i + what.size() <= text.size(); ++i) {
    bool same = true;
    for (std::size_t k = 0; k < what.size() && same; ++k) same = text[i + k] == what[k];
    if (same) return i;
  }
  return std::string_view::npos;
}

enum class ItemKind : unsigned char { Receiver, KeywordMarker, VarPositional, VarKeyword, Parameter };

struct Item {
  ItemKind kind = ItemKind::Parameter;
  std::string_view name;   // the parameter's name
  std::string_view shown;  // as the header shows it
  bool optional = false;   // `=None`
  bool keyword_only = false;
  Conv conv = Conv::Any;
};

struct Decl {
  std::string_view function;
  std::array<Item, kMaxItems> items{};
  std::size_t n_items = 0;
  bool has_receiver = false;
  bool class_method = false;
  bool var_positional = false;
  bool var_keyword = false;
};

constexpr Item parse_item(std::string_view token, bool keyword_only) {
  Item item;
  if (token == "$self" || token == "$cls") {
    item.kind = ItemKind::Receiver;
    item.shown = token;
    return item;
  }
  if (token == "*") {
    item.kind = ItemKind::KeywordMarker;
    item.shown = token;
    return item;
  }
  if (index_of(token, "**") == 0) {
    item.kind = ItemKind::VarKeyword;
    item.name = token.substr(2);
    item.shown = token;
    return item;
  }
  if (index_of(token, "*") == 0) {
    item.kind = ItemKind::VarPositional;
    item.name = token.substr(1);
    item.shown = token;
    return item;
  }
  item.keyword_only = keyword_only;
  std::string_view rest = token;
  const std::size_t eq = index_of(rest, "=");
  if (eq != std::string_view::npos) {
    if (rest.substr(eq) != "=None") malformed_declaration("only None is a default");
    item.optional = true;
    rest = rest.substr(0, eq);
  }
  const std::size_t colon = index_of(rest, ":");
  item.name = rest.substr(0, colon);
  if (colon != std::string_view::npos) {
    const std::string_view type = rest.substr(colon + 1);
    if (type == " str") {
      item.conv = Conv::Text;
    } else if (type == " tuple") {
      item.conv = Conv::Tuple;
    } else {
      malformed_declaration("a conversion is ': str' or ': tuple'");
    }
  }
  item.shown = item.name;  // the header adds "=None" for an optional parameter
  return item;
}

constexpr Decl parse(std::string_view text) {
  Decl d;
  const std::size_t open = index_of(text, "(");
  if (open == std::string_view::npos || text.back() != ')') malformed_declaration("expected name(...)");
  d.function = text.substr(0, open);
  std::string_view list = text.substr(open + 1, text.size() - open - 2);
  bool keyword_only = false;
  while (!list.empty()) {
    const std::size_t comma = index_of(list, ", ");
    const std::string_view token = list.substr(0, comma);
    list = comma == std::string_view::npos ? std::string_view{} : list.substr(comma + 2);
    if (d.n_items == kMaxItems) malformed_declaration("too many items");
    Item item = parse_item(token, keyword_only);
    switch (item.kind) {
      case ItemKind::Receiver:
        if (d.n_items != 0) malformed_declaration("the receiver comes first");
        d.has_receiver = true;
        d.class_method = token == "$cls";
        break;
      case ItemKind::KeywordMarker:
      case ItemKind::VarPositional:
        keyword_only = true;
        d.var_positional = item.kind == ItemKind::VarPositional;
        break;
      case ItemKind::VarKeyword:
        d.var_keyword = true;
        break;
      case ItemKind::Parameter:
        break;
    }
    d.items[d.n_items++] = item;
  }
  return d;
}

constexpr std::size_t header_size(const Decl& d) {
  std::size_t n = d.function.size() + 2 + std::string_view("\n--\n\n").size();
  for (std::size_t i = 0; i < d.n_items; ++i) {
    n += d.items[i].shown.size() + (d.items[i].optional ? 5 : 0) + (i == 0 ? 0 : 2);
  }
  return n;
}

template <std::size_t N>
struct Writer {
  std::array<char, N> out{};
  std::size_t used = 0;
  constexpr void put(std::string_view s) {
    for (char c : s) out[used++] = c;
  }
};

// Header, then body, then NUL.
template <std::size_t N>
constexpr std::array<char, N> doc(const Decl& d, std::string_view body) {
  Writer<N> w;
  w.put(d.function);
  w.put("(");
  for (std::size_t i = 0; i < d.n_items; ++i) {
    if (i != 0) w.put(", ");
    w.put(d.items[i].shown);
    if (d.items[i].optional) w.put("=None");
  }
  w.put(")\n--\n\n");
  w.put(body);
  w.out[w.used] = '\0';
  return w.out;
}

constexpr std::size_t full_name_size(std::string_view cls, const Decl& d) {
  return cls.size() + 1 + (d.has_receiver ? d.function.size() : 7) + 2 + 1;
}

template <std::size_t N>
constexpr std::array<char, N> full_name(std::string_view cls, const Decl& d) {
  Writer<N> w;
  w.put(cls);
  w.put(".");
  w.put(d.has_receiver ? d.function : std::string_view("__new__"));
  w.put("()");
  w.out[w.used] = '\0';
  return w.out;
}

// Every name once, each followed by NUL: the function, then the parameters.
constexpr std::size_t names_size(const Decl& d) {
  std::size_t n = d.function.size() + 1;
  for (std::size_t i = 0; i < d.n_items; ++i) n += d.items[i].name.size() + 1;
  return n;
}

template <std::size_t N>
constexpr std::array<char, N> names(const Decl& d) {
  Writer<N> w;
  w.put(d.function);
  w.out[w.used++] = '\0';
  for (std::size_t i = 0; i < d.n_items; ++i) {
    w.put(d.items[i].name);
    w.out[w.used++] = '\0';
  }
  return w.out;
}

constexpr int count(const Decl& d, bool keyword_only) {
  int n = 0;
  for (std::size_t i = 0; i < d.n_items; ++i) {
    n += d.items[i].kind == ItemKind::Parameter && d.items[i].keyword_only == keyword_only;
  }
  return n;
}

constexpr int count_required_positional(const Decl& d) {
  int n = 0;
  for (std::size_t i = 0; i < d.n_items; ++i) {
    const Item& item = d.items[i];
    if (item.kind != ItemKind::Parameter || item.keyword_only) continue;
    if (item.optional) break;
    ++n;
  }
  return n;
}

// The binder's table of the positional or the keyword-only parameters; each
// name points into `names`, where it is NUL-terminated.
template <std::size_t N>
constexpr std::array<Param, N> params(const Decl& d, const char* names, bool keyword_only) {
  std::array<Param, N> out{};
  std::size_t k = 0;
  std::size_t offset = d.function.size() + 1;
  for (std::size_t i = 0; i < d.n_items; ++i) {
    const Item& item = d.items[i];
    if (item.kind == ItemKind::Parameter && item.keyword_only == keyword_only) {
      out[k++] = Param{std::string_view(names + offset, item.name.size()), item.conv, !item.optional};
    }
    offset += item.name.size() + 1;
  }
  return out;
}

}  // namespace sig

template <Literal Class, Literal Text, Literal Body = "">
struct Signature {
  static constexpr sig::Decl decl = sig::parse(Text.view());
  static constexpr auto doc = sig::doc<sig::header_size(decl) + Body.view().size() + 1>(decl, Body.view());
  static constexpr auto full_name = sig::full_name<sig::full_name_size(Class.view(), decl)>(Class.view(), decl);
  static constexpr auto names = sig::names<sig::names_size(decl)>(decl);
  static constexpr int n_positional = sig::count(decl, false);
  static constexpr int n_kwonly = sig::count(decl, true);
  static_assert(n_positional + n_kwonly <= kMaxParams, "raise kMaxParams");
  static constexpr auto positional = sig::params<n_positional>(decl, names.data(), false);
  static constexpr auto kwonly = sig::params<n_kwonly>(decl, names.data(), true);
  static constexpr Params params{full_name.data(),
                                 positional.data(),
                                 n_positional,
                                 sig::count_required_positional(decl),
                                 kwonly.data(),
                                 n_kwonly,
                                 decl.var_positional,
                                 decl.var_keyword};
  // The function's name, NUL-terminated.
  static constexpr const char* name() { return names.data(); }
};

}  // namespace ostrel
