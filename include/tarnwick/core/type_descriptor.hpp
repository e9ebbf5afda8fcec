// The one description of a field type. Every field type names its kind (`static constexpr
// TypeKind kind`) and keeps its parts under fixed names: `item` (optional, list), `key` and
// `value` (mapping), `record_type` (record). Compile-time walks dispatch on the kind; everything
// that needs no template (the field catalog, the Python classes and stubs, the schema's rule on
// defaults) reads the runtime description that each table row carries, made once with the table.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::core {

enum class TypeKind : std::uint8_t {
  text,              // kept as given
  constrained_text,  // trimmed, bounded, matching a pattern
  boolean,
  address,  // IPv4 address
  network,  // IPv4 network
  choice,   // one of a fixed list of texts
  optional,
  list,
  mapping,
  record,
};

// The kinds without parts.
constexpr bool is_scalar_kind(TypeKind k) {
  return k != TypeKind::optional && k != TypeKind::list && k != TypeKind::mapping &&
         k != TypeKind::record;
}

namespace types {

struct Pattern {
  std::string_view text;  // shown in messages
  bool (*match)(std::string_view);
  std::string_view words{};  // what an editor calls such text ("digits"); empty: the pattern
};

}  // namespace types

// One node of a type's description; a type's parts follow it in the same array, reached by
// offset so that a description copies freely (rows are copied while their table is made).
struct TypeInfo {
  TypeKind kind = TypeKind::text;
  std::uint8_t first = 0;      // offset of the item (optional, list) or the key (mapping)
  std::uint8_t second = 0;     // offset of a mapping's value
  bool strip = false;          // constrained text: trimmed
  bool absent_empty = false;   // optional: an absent value reads and dumps as {}
  std::size_t max_length = 0;  // constrained text: 0, no limit
  const types::Pattern* pattern = nullptr;      // constrained text
  std::span<const std::string_view> choices{};  // choice
  std::string_view alias{};  // the shared type's name ("GWName"), where it has one
  std::string_view (*record_name_of)() = nullptr;  // record

  constexpr const TypeInfo& item() const { return this[first]; }    // optional, list
  constexpr const TypeInfo& key() const { return this[first]; }     // mapping
  constexpr const TypeInfo& value() const { return this[second]; }  // mapping
  std::string_view record_name() const { return record_name_of(); }

  // The type in words, as editors show it: "text", "digits", "list of IPv4 network",
  // "... or null", "one of a, b", "mapping of X to Y", a record's name.
  std::string label() const;
  // The record a value of this type holds, through optional, list and a mapping's values; nullptr
  // when none.
  const TypeInfo* nested_record() const;
};

namespace types {

template <class T>
inline constexpr bool kUnknownKind = false;

// The record R's name, from its table (defined with the tables, in field_table.hpp).
template <class R>
std::string_view record_name();

// How many nodes T's description takes.
template <class T>
constexpr std::size_t description_size() {
  constexpr TypeKind k = T::kind;
  if constexpr (k == TypeKind::optional || k == TypeKind::list) {
    return 1 + description_size<decltype(T::item)>();
  } else if constexpr (k == TypeKind::mapping) {
    return 1 + description_size<decltype(T::key)>() + description_size<decltype(T::value)>();
  } else if constexpr (is_scalar_kind(k) || k == TypeKind::record) {
    return 1;
  } else {
    static_assert(kUnknownKind<T>, "a field type of a kind the description does not know");
  }
}

// Writes T's description at `out`, its parts after it.
template <class T>
constexpr void describe_into(const T& type, TypeInfo* out) {
  constexpr TypeKind k = T::kind;
  TypeInfo& node = out[0];
  node.kind = k;
  if constexpr (k == TypeKind::text || k == TypeKind::boolean || k == TypeKind::address ||
                k == TypeKind::network) {
    // nothing more to say
  } else if constexpr (k == TypeKind::constrained_text) {
    node.strip = type.strip;
    node.max_length = type.max_length;
    node.pattern = type.pattern;
    node.alias = type.alias;
  } else if constexpr (k == TypeKind::choice) {
    node.choices = {type.choices, type.count};
    node.alias = type.alias;
  } else if constexpr (k == TypeKind::optional || k == TypeKind::list) {
    if constexpr (k == TypeKind::optional) node.absent_empty = type.absent_empty;
    node.first = 1;
    describe_into(type.item, out + 1);
  } else if constexpr (k == TypeKind::mapping) {
    node.first = 1;
    node.second = static_cast<std::uint8_t>(1 + description_size<decltype(T::key)>());
    describe_into(type.key, out + node.first);
    describe_into(type.value, out + node.second);
  } else if constexpr (k == TypeKind::record) {
    node.record_name_of = &record_name<typename T::record_type>;
  } else {
    static_assert(kUnknownKind<T>, "a field type of a kind the description does not know");
  }
}

// T's description: the node of T first.
template <class T>
constexpr std::array<TypeInfo, description_size<T>()> describe(const T& type) {
  std::array<TypeInfo, description_size<T>()> out{};
  describe_into(type, out.data());
  return out;
}

}  // namespace types

}  // namespace tarnwick::core
