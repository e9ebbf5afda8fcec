// Field types: how a node converts to a member's value, how that value dumps, and the JSON Schema
// of the input a type accepts; plus the value types and constants several records share.
//
// Each type has a value_type, convert() (records its own errors and returns false on failure;
// never sees null: convert_node handles null for every type), dump() and schema(definitions) (a
// record type adds its definition to `definitions`, an object keyed by record name; nullptr:
// collect none). Types compose: optional(T), or_empty(T), list(T), mapping(K, V), record<R>().
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/builder.hpp"
#include "tarnwick/core/ipv4.hpp"
#include "tarnwick/core/ordered_map.hpp"
#include "tarnwick/core/text_forms.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// ---------------------------------------------------------------------------------------------
// Value types shared by several records.

using CIDRList = std::vector<IPv4Network>;
using IPAddressList = std::vector<IPv4Address>;
using Tag = OrderedMap<std::string, std::string>;
using Tags = std::vector<Tag>;

// The default of the network lists that allow everything: a new list holding 0.0.0.0/0.
CIDRList _default_network();

// The two VPC keys that name gateways.
inline constexpr std::array<std::string_view, 2> GW_NAME_KEYS{"spoke_gw_name", "transit_gw_name"};

inline constexpr std::array<std::string_view, 22> REGION_NAMES{
    "af-south-1",   "ap-east-1",      "ap-northeast-1", "ap-northeast-2", "ap-northeast-3",
    "ap-south-1",   "ap-southeast-1", "ap-southeast-2", "ap-southeast-3", "ca-central-1",
    "eu-central-1", "eu-north-1",     "eu-south-1",     "eu-west-1",      "eu-west-2",
    "eu-west-3",    "me-south-3",     "sa-east-1",      "us-east-1",      "us-east-2",
    "us-west-1",    "us-west-2"};

inline constexpr std::array<std::string_view, 5> CLEANUP_RESOURCES{
    "INTERNAL_LB", "NAT", "TGW_ATTACHMENT", "VGW", "PEERING"};

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
  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct Pattern {
  std::string_view text;  // shown in messages
  bool (*match)(std::string_view);
};

// A constrained string: trimmed (Python's notion of white space), at most max_length characters
// (0: no limit), matching a pattern (nullptr: none); checked in that order.
struct ConStr {
  bool strip = false;
  std::size_t max_length = 0;
  const Pattern* pattern = nullptr;
  std::string_view alias{};  // the shared type's name, where it has one (for Python's types)

  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct Bool {
  using value_type = bool;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(value_type v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4AddressType {
  using value_type = IPv4Address;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

struct IPv4NetworkType {
  using value_type = IPv4Network;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v.str(); }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

// One of a fixed list of strings, matched exactly (case included, no trimming).
struct Literal {
  const std::string_view* choices;
  std::size_t count;
  std::string_view alias;  // the shared type's name, where it has one (for Python's types)

  template <std::size_t N>
  constexpr Literal(const std::array<std::string_view, N>& list, std::string_view name = {})
      : choices(list.data()), count(N), alias(name) {}

  using value_type = std::string;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const { return v; }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

template <class T>
struct Optional {
  T inner;
  using value_type = std::optional<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const {
    return v ? nlohmann::ordered_json(inner.dump(*v)) : nlohmann::ordered_json(nullptr);
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return nullable(inner.schema(definitions));
  }
};

// An optional section whose absence reads as empty and dumps as {} rather than null.
template <class T>
struct OrEmpty {
  T inner;
  using value_type = std::optional<typename T::value_type>;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const {
    return Optional<T>{inner}.convert(node, b, out);
  }
  nlohmann::ordered_json dump(const value_type& v) const {
    return v ? nlohmann::ordered_json(inner.dump(*v)) : nlohmann::ordered_json::object();
  }
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const {
    return nullable(inner.schema(definitions));
  }
};

template <class T>
struct List {
  T item;
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
  using record_type = R;
  using value_type = R;
  bool convert(const yaml::Node& node, Builder& b, value_type& out) const;
  nlohmann::ordered_json dump(const value_type& v) const;
  nlohmann::ordered_json schema(nlohmann::ordered_json* definitions = nullptr) const;
};

template <class T>
inline constexpr bool is_optional_v = false;
template <class T>
inline constexpr bool is_optional_v<Optional<T>> = true;
template <class T>
inline constexpr bool is_optional_v<OrEmpty<T>> = true;

template <class T>
inline constexpr bool is_or_empty_v = false;
template <class T>
inline constexpr bool is_or_empty_v<OrEmpty<T>> = true;

// A field's property schema: its description, its type's schema and, when it has one, its
// default.
nlohmann::ordered_json property_schema(nlohmann::ordered_json type_schema,
                                       std::string_view description,
                                       const nlohmann::ordered_json* default_value);

// Converts one node to a type's value: null only for optional types, everything else by the type.
template <class T>
bool convert_node(const T& type, const yaml::Node& node, Builder& b, typename T::value_type& out) {
  if constexpr (is_optional_v<T>) {
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
    if (inner.convert(node, b, *out)) return true;
    out.reset();
    return false;
  }
  typename T::value_type v{};
  if (!inner.convert(node, b, v)) return false;
  out = std::move(v);
  return true;
}

// Whether a mapping holds a key of record R (defined with the tables, in record_build.hpp).
template <class R>
bool holds_key_of(const yaml::Node& map);

// Whether a mapping written where a list of T is wanted plainly is that list's one item: T is a
// mapping, or a record whose keys it holds.
template <class T>
bool reads_as_item(const T&, const yaml::Node&) {
  return false;
}
template <class K, class V>
bool reads_as_item(const Mapping<K, V>&, const yaml::Node& map) {
  return map.size() != 0;
}
template <class R>
bool reads_as_item(const Record<R>&, const yaml::Node& map) {
  return holds_key_of<R>(map);
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
inline constexpr Pattern kDigits{"^[0-9]+$", all_digits};

inline constexpr Str string{};                                    // kept as given
inline constexpr ConStr _str{.strip = true, .alias = "_str"};  // trimmed
inline constexpr ConStr GWName{.strip = true, .max_length = 50, .alias = "GWName"};  // <= 50
inline constexpr ConStr digit_string{.strip = true, .pattern = &kDigits};
inline constexpr Bool boolean{};
inline constexpr IPv4AddressType ipv4_address{};
inline constexpr IPv4NetworkType ipv4_network{};
inline constexpr Literal RegionName{REGION_NAMES, "RegionName"};
inline constexpr Literal CleanupResources{CLEANUP_RESOURCES, "CleanupResources"};
inline constexpr List<IPv4NetworkType> CIDRList{};
inline constexpr List<IPv4AddressType> IPAddressList{};
inline constexpr Mapping<Str, Str> Tag{};
inline constexpr List<Mapping<Str, Str>> Tags{};

template <class T>
constexpr Optional<T> optional(T inner) {
  return {inner};
}
template <class T>
constexpr OrEmpty<T> or_empty(T inner) {
  return {inner};
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
