// Field types: how a node converts to a member's value, how that value dumps, and the JSON Schema
// of the input a type accepts; plus the value types several records share.
//
// Each type has its kind (type_descriptor.hpp), a value_type, convert() (records its own errors
// and returns false on failure; never sees null: convert_node handles null for every type),
// dump() and schema(definitions) (a record type adds its definition to `definitions`, an object
// keyed by record name; nullptr: collect none). Types compose: optional(T), or_empty(T), list(T),
// mapping(K, V), record<R>(). The vocabulary of the migration (region names, the shared types
// named for it) lives beside the sections, in sections/vocabulary.hpp.
#pragma once

#include <array>
#include <concepts>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/builder.hpp"
#include "tarnwick/core/ipv4.hpp"
#include "tarnwick/core/ordered_map.hpp"
#include "tarnwick/core/text_forms.hpp"
#include "tarnwick/core/type_descriptor.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

namespace hints {
struct Meant;
}

// ---------------------------------------------------------------------------------------------
// Value types shared by several records.

using CIDRList = std::vector<IPv4Network>;
using IPAddressList = std::vector<IPv4Address>;
using Tag = OrderedMap<std::string, std::string>;
using Tags = std::vector<Tag>;

// The default of the network lists that allow everything: a new list holding 0.0.0.0/0.
CIDRList _default_network();

// ---------------------------------------------------------------------------------------------
// The types. Scalar types are defined in field_types.cpp; Record<R> in record_build.hpp.

namespace types {

// The schema of a value that may also be null.
nlohmann::ordered_json nullable(nlohmann::ordered_json schema);

// A mapping key's schema as the "propertyNames" of its object: what it asks of the text.
nlohmann::ordered_json property_names(nlohmann::ordered_json key_schema);

// Takes a scalar's text as a string: a plain scalar that YAML resolved to a number, boolean or
// date keeps the text the author wrote ("0123456701" stays that, not an octal number).
bool string_of(const yaml::Node& node, Builder& b, std::string& out);

// Plain string, kept as given.
struct Str {
  static constexpr TypeKind kind = TypeKind::text;
  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// A constrained string: trimmed (Python's notion of white space), at most max_length characters
// (0: no limit), matching a pattern (nullptr: none); checked in that order.
struct ConStr {
  bool strip = false;
  std::size_t max_length = 0;
  const Pattern* pattern = nullptr;
  std::string_view alias{};  // the shared type's name, where it has one (for Python's types)

  static constexpr TypeKind kind = TypeKind::constrained_text;
  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct Bool {
  static constexpr TypeKind kind = TypeKind::boolean;
  using value_type = bool;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(value_type v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4AddressType {
  static constexpr TypeKind kind = TypeKind::address;
  using value_type = IPv4Address;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4NetworkType {
  static constexpr TypeKind kind = TypeKind::network;
  using value_type = IPv4Network;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// What a value outside a literal's choices was meant to be, as its definer knows better than
// spelling can tell (a zone names its region); an empty hint leaves it to the closest spelling.
using NearerHint = hints::Meant (*)(std::string_view given,
                                    std::span<const std::string_view> choices);

// One of a fixed list of strings, matched exactly (case included, no trimming).
struct Literal {
  const std::string_view* choices;
  std::size_t count;
  std::string_view alias;  // the shared type's name, where it has one (for Python's types)
  NearerHint nearer;

  template <std::size_t N>
  constexpr Literal(const std::array<std::string_view, N>& list, std::string_view name = {},
                    NearerHint nearer_hint = nullptr)
      : choices(list.data()), count(N), alias(name), nearer(nearer_hint) {}

  static constexpr TypeKind kind = TypeKind::choice;
  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// A value that may be null. With absent_empty (or_empty(T)), an optional section whose absence
// reads as empty and dumps as {} rather than null.
template <class T>
struct Optional {
  T item;
  bool absent_empty = false;

  static constexpr TypeKind kind = TypeKind::optional;
  using value_type = std::optional<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    if (v) return item.dump(*v);
    return absent_empty ? nlohmann::ordered_json::object() : nlohmann::ordered_json(nullptr);
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return nullable(item.schema(definitions));
  }
};

template <class T>
struct List {
  T item;
  static constexpr TypeKind kind = TypeKind::list;
  using value_type = std::vector<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    auto a = nlohmann::ordered_json::array();
    auto& items = a.get_ref<nlohmann::ordered_json::array_t&>();
    items.reserve(v.size());
    for (const auto& x : v) items.push_back(item.dump(x));
    return a;
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return {{"type", "array"}, {"items", item.schema(definitions)}};
  }
};

template <class K, class V>
struct Mapping {
  K key;
  V value;
  static constexpr TypeKind kind = TypeKind::mapping;
  using value_type = OrderedMap<typename K::value_type, typename V::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    auto o = nlohmann::ordered_json::object();
    for (const auto& [k, x] : v) o[key.dump(k).template get<std::string>()] = value.dump(x);
    return o;
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    nlohmann::ordered_json s{{"type", "object"}};
    nlohmann::ordered_json names = property_names(key.schema(definitions));
    if (!names.empty()) s["propertyNames"] = std::move(names);
    s["additionalProperties"] = value.schema(definitions);
    return s;
  }
};

// A nested record: built, dumped and described through R's own field table.
template <class R>
struct Record {
  static constexpr TypeKind kind = TypeKind::record;
  using record_type = R;
  using value_type = R;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const;
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// What every field type answers: its kind, its value, how a node converts to it, how it dumps and
// the schema of what it accepts. A row of a table takes nothing else.
template <class T>
concept FieldType = requires(const T& type, const yaml::Node& node, Builder& b,
                             typename T::value_type& out) {
  { T::kind } -> std::convertible_to<TypeKind>;
  { type.convert(node, b, out) } -> std::same_as<bool>;
  { type.dump(out) } -> std::convertible_to<nlohmann::ordered_json>;
  { type.schema(nullptr) } -> std::convertible_to<nlohmann::ordered_json>;
};

// A field's property schema: its description, its type's schema and, when it has one, its
// default.
nlohmann::ordered_json property_schema(nlohmann::ordered_json type_schema,
                                       std::string_view description,
                                       const nlohmann::ordered_json* default_value);

// Converts one node to a type's value: null only for optional types, everything else by the type.
template <class T>
bool convert_node(const T& type, const yaml::Node& node, Builder& b, typename T::value_type& out) {
  if constexpr (T::kind == TypeKind::optional) {
    if (node.is_null()) {
      out.reset();
      return true;
    }
  } else {
    if (node.is_null()) {
      b.error(std::string(msg::kNone), "type_error.none.not_allowed", node.mark());
      return false;
    }
  }
  return type.convert(node, b, out);
}

template <class T>
bool Optional<T>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!out) {
    // Converted in place: the fresh value is what a temporary would have started from.
    out.emplace();
    if (item.convert(node, b, *out)) return true;
    out.reset();
    return false;
  }
  typename T::value_type v{};
  if (!item.convert(node, b, v)) return false;
  out = std::move(v);
  return true;
}

// Whether a mapping holds a key of record R (defined with the tables, in record_build.hpp).
template <class R>
bool holds_key_of(const yaml::Node& map);

// Whether a mapping written where a list of T is wanted plainly is that list's one item: T is a
// mapping, or a record whose keys it holds.
template <class T>
bool reads_as_item(const T&, const yaml::Node& map) {
  if constexpr (T::kind == TypeKind::mapping) {
    return map.size() != 0;
  } else if constexpr (T::kind == TypeKind::record) {
    return holds_key_of<typename T::record_type>(map);
  } else if constexpr (is_scalar_kind(T::kind) || T::kind == TypeKind::optional ||
                       T::kind == TypeKind::list) {
    return false;
  } else {
    static_assert(kUnknownKind<T>, "a field type of a kind reads_as_item does not know");
  }
}

// The help (and, for a scalar, the fix) for one value written where a list is wanted.
void advise_list(const yaml::Node& node, bool map_is_item, ErrorDetail& fault);

template <class T>
bool List<T>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!node.is_seq()) {
    ErrorDetail& fault = b.error(std::string(msg::kList), "type_error.list", node.mark());
    advise_list(node, node.is_map() && reads_as_item(item, node), fault);
    return false;
  }
  out.clear();
  out.reserve(node.size());
  bool ok = true;
  std::int64_t index = 0;
  for (const yaml::Node* item_node : node.items()) {
    LocGuard at(b, index++);
    typename T::value_type v{};
    if (convert_node(item, *item_node, b, v)) {
      if (ok) out.push_back(std::move(v));
    } else {
      ok = false;
    }
  }
  return ok;
}

// A key's place in a location: its text as written.
std::string_view key_loc(const yaml::Node& key);

template <class K, class V>
bool Mapping<K, V>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (!node.is_map()) {
    b.error(std::string(msg::kDict), "type_error.dict", node.mark());
    return false;
  }
  bool ok = true;
  out.clear();
  out.reserve(node.size());
  for (const yaml::Entry& e : node.entries()) {
    if constexpr (std::is_same_v<K, Str> && std::is_same_v<V, Str>) {
      // Text to text, the common case (tags): nothing can fail, so no location is needed.
      if (e.key->kind() == yaml::Kind::Str && e.value->kind() == yaml::Kind::Str &&
          e.key->tag() != yaml::StandardTag::Binary &&
          e.value->tag() != yaml::StandardTag::Binary) {
        if (ok) out.set(e.key->text(), e.value->text());
        continue;
      }
    }
    LocGuard at(b, key_loc(*e.key));
    typename K::value_type k{};
    bool key_ok;
    {
      LocGuard at_key(b, std::string_view("__key__"));
      key_ok = convert_node(key, *e.key, b, k);
    }
    typename V::value_type v{};
    bool value_ok = convert_node(value, *e.value, b, v);
    if (key_ok && value_ok) {
      if (ok) out.set(std::move(k), std::move(v));
    } else {
      ok = false;
    }
  }
  return ok;
}

}  // namespace types

// ---------------------------------------------------------------------------------------------
// The shared field types by name, for field tables.

namespace types {

using core::all_digits;
inline constexpr Pattern kDigits{"^[0-9]+$", all_digits, "digits"};

inline constexpr Str string{};                                 // kept as given
inline constexpr ConStr _str{.strip = true, .alias = "_str"};  // trimmed
inline constexpr ConStr digit_string{.strip = true, .pattern = &kDigits};
inline constexpr Bool boolean{};
inline constexpr IPv4AddressType ipv4_address{};
inline constexpr IPv4NetworkType ipv4_network{};
inline constexpr List<IPv4NetworkType> CIDRList{};
inline constexpr List<IPv4AddressType> IPAddressList{};
inline constexpr Mapping<Str, Str> Tag{};
inline constexpr List<Mapping<Str, Str>> Tags{};

template <class T>
constexpr Optional<T> optional(T item) {
  return {item};
}
// An optional section whose absence reads as empty and dumps as {}.
template <class T>
constexpr Optional<T> or_empty(T item) {
  return {item, true};
}
template <class T>
constexpr List<T> list(T item) {
  return {item};
}
template <class K, class V>
constexpr Mapping<K, V> mapping(K key, V value) {
  return {key, value};
}
template <class R>
constexpr Record<R> record() {
  return {};
}

}  // namespace types

}  // namespace tarnwick::core
