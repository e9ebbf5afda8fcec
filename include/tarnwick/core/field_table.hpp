// Field tables: each record's one table of its fields, declared once beside its struct.
//
//   constexpr auto VPCConfig::fields() {
//     using R = VPCConfig;
//     return table<R>("VPCConfig", "One spoke VPC.",
//         field("vpc_id", &R::vpc_id, t::_str, required, doc("Id of the VPC to migrate.")),
//         field("encrypt_key", &R::encrypt_key, t::optional(t::_str),
//         check(&R::check_encrypt_key, "check_encrypt_key")),
//         ...);
//   }
//
// A table is a compile-time value (table_of<R>): its rows keep their real types (member, field
// type, checks), so every consumer (building, dumping, the JSON Schema, the Python classes) is a
// visitor of the same rows and no key or member is written anywhere else.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <tuple>
#include <type_traits>
#include <utility>

#include "tarnwick/core/builder.hpp"
#include "tarnwick/core/field_types.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// Building keeps per-record bookkeeping in fixed arrays (and one bit per field) of this size.
inline constexpr std::size_t kMaxFields = 64;

// A record's table, as its static fields() returns it.
template <class R>
inline constexpr auto table_of = R::fields();

template <class R>
std::string_view types::record_name() {
  return table_of<R>.name;
}

// What a field check learns about the field it runs for.
struct FieldInfo {
  std::string_view name;  // the field's key
};

// ---------------------------------------------------------------------------------------------
// Row options.

struct Required {};
inline constexpr Required required{};

// A list whose items are built as each one is read, while the rest of the document is still
// being read, so that a long list of large items is never held as one node tree.
struct Streamed {};
inline constexpr Streamed streamed{};

// A field's one-line description, shown by editors and in hovers.
struct Doc {
  std::string_view text;
};
constexpr Doc doc(std::string_view text) {
  return {text};
}

// A check's name is the one its record's class function has in Python (C++ cannot tell it).
template <class F>
struct CheckSpec {
  F fn;
  bool always;
  std::string_view name;
};
// A field check: runs when the key is present (null included).
template <class F>
constexpr CheckSpec<F> check(F fn, std::string_view name) {
  return {fn, false, name};
}
// A field check that also runs on the default when the key is absent.
template <class F>
constexpr CheckSpec<F> check_always(F fn, std::string_view name) {
  return {fn, true, name};
}

// A record check: sees the raw mapping before any field is built; returns the mapping to build
// from, or throws ValueError.
using RecordCheck = const yaml::Node& (*)(const yaml::Node& raw);
struct RecordCheckSpec {
  RecordCheck fn;
  std::string_view name;
};
constexpr RecordCheckSpec record_check(RecordCheck fn, std::string_view name) {
  return {fn, name};
}

// ---------------------------------------------------------------------------------------------
// Rows.

// One row: the key, the member (of the record or of a base record), the field type, whether the
// key is required, whether a check runs on the default, the description and the checks in order;
// and the type's description, made with the table, for the consumers that need no template.
template <class B, class M, types::FieldType T, class... Checks>
struct Row {
  using base_type = B;
  using member_type = M;
  using field_type = T;

  std::string_view key;
  M B::*member;
  T type;
  bool required;
  bool always;
  bool streamed;
  std::string_view description;
  std::tuple<Checks...> checks;
  std::array<TypeInfo, types::description_size<T>()> type_nodes;

  constexpr const TypeInfo& type_info() const { return type_nodes[0]; }
};

namespace table_detail {

template <class O>
constexpr bool is_required(const O&) {
  return std::is_same_v<O, Required>;
}
template <class O>
constexpr bool is_streamed(const O&) {
  return std::is_same_v<O, Streamed>;
}
template <class O>
constexpr bool is_always(const O& o) {
  if constexpr (requires { o.always; }) {
    return o.always;
  } else {
    return false;
  }
}
// The text of the row's doc(...), if it has one.
template <class... Opts>
constexpr std::string_view doc_of(const Opts&... opts) {
  std::string_view out;
  (
      [&] {
        if constexpr (std::is_same_v<Opts, Doc>) out = opts.text;
      }(),
      ...);
  return out;
}
template <class O>
constexpr auto checks_of(const O& o) {
  if constexpr (requires { o.always; }) {
    return std::tuple<O>(o);
  } else {
    return std::tuple<>();
  }
}

template <class B, class M, class T, class... Checks>
constexpr Row<B, M, T, Checks...> make_row(std::string_view key, M B::*member, T type,
                                           bool required, bool always, bool streamed,
                                           std::string_view description,
                                           std::tuple<Checks...> checks) {
  return {
      key, member, type, required, always, streamed, description, checks, types::describe(type)};
}

}  // namespace table_detail

// One row of a table: key, member, type, then optionally `required`, `streamed`, `doc(...)` and
// checks.
template <class B, class M, types::FieldType T, class... Opts>
constexpr auto field(std::string_view key, M B::*member, T type, Opts... opts) {
  return table_detail::make_row(key, member, type, (table_detail::is_required(opts) || ...),
                                (table_detail::is_always(opts) || ...),
                                (table_detail::is_streamed(opts) || ...),
                                table_detail::doc_of(opts...),
                                std::tuple_cat(table_detail::checks_of(opts)...));
}

// ---------------------------------------------------------------------------------------------
// Tables.

template <class R, std::size_t NChecks, class... Rows>
class Table {
 public:
  static constexpr std::size_t size = sizeof...(Rows);
  static_assert(size <= kMaxFields, "too many fields in a record table");

  constexpr Table(std::string_view name, std::string_view description,
                  std::array<RecordCheckSpec, NChecks> record_checks, std::tuple<Rows...> rows)
      : name(name), description(description), record_checks(record_checks), rows(rows) {
    std::size_t i = 0;
    std::apply([&](const auto&... row) { ((keys_[i++] = row.key), ...); }, rows);
    for (i = 0; i < size; ++i) {
      // Reached only for a broken table, which then fails to compile.
      if (keys_[i].empty() || index_of(keys_[i]) >= 0) throw "bad key in a record table";
      std::size_t slot = slot_of(keys_[i]);
      while (slots_[slot] != 0) slot = (slot + 1) % kSlots;
      slots_[slot] = static_cast<std::uint8_t>(i + 1);
    }
  }

  std::string_view name;         // the record's name, in messages and the schema
  std::string_view description;  // one line on the record, for its Python class
  std::array<RecordCheckSpec, NChecks> record_checks;
  std::tuple<Rows...> rows;

  // The position of a key among the rows, or -1 when the record does not declare it.
  constexpr std::ptrdiff_t index_of(std::string_view key) const {
    if (key.empty()) return -1;
    for (std::size_t slot = slot_of(key); slots_[slot] != 0; slot = (slot + 1) % kSlots) {
      const std::size_t i = slots_[slot] - 1U;
      if (keys_[i] == key) return static_cast<std::ptrdiff_t>(i);
    }
    return -1;
  }

  // The keys in row order.
  constexpr const std::array<std::string_view, size>& keys() const { return keys_; }

  // Calls f(row) for every row in order.
  template <class F>
  constexpr void each(F&& f) const {
    std::apply([&](const auto&... row) { (f(row), ...); }, rows);
  }
  // Calls f(std::integral_constant<std::size_t, I>, row) for every row in order.
  template <class F>
  constexpr void each_indexed(F&& f) const {
    [&]<std::size_t... I>(std::index_sequence<I...>) {
      (f(std::integral_constant<std::size_t, I>{}, std::get<I>(rows)), ...);
    }
    (std::index_sequence_for<Rows...>{});
  }

 private:
  // Every key of every document is looked up here: a small open-addressing table on the key's
  // length and end characters is far cheaper than hashing the whole key.
  static constexpr std::size_t kSlots = 2 * kMaxFields;
  static constexpr std::size_t slot_of(std::string_view key) {
    const auto first = static_cast<unsigned char>(key.front());
    const auto last = static_cast<unsigned char>(key.back());
    const auto mid = static_cast<unsigned char>(key[key.size() / 2]);
    return (key.size() * 31U + first * 7U + last * 3U + mid) % kSlots;
  }

  std::array<std::string_view, size> keys_{};
  std::array<std::uint8_t, kSlots> slots_{};  // row index + 1; 0: empty
};

namespace table_detail {

template <class A>
constexpr auto rows_of(const A& a) {
  if constexpr (requires { typename A::field_type; }) {
    return std::tuple<A>(a);
  } else if constexpr (std::is_same_v<A, RecordCheckSpec>) {
    return std::tuple<>();
  } else {
    return a;  // a tuple of rows (inherited fields)
  }
}
template <class A>
constexpr auto record_checks_of(const A& a) {
  if constexpr (std::is_same_v<A, RecordCheckSpec>) {
    return std::tuple<RecordCheckSpec>(a);
  } else {
    return std::tuple<>();
  }
}
template <class R, class... Rows, class... Cs>
constexpr auto make_table(std::string_view name, std::string_view description,
                          std::tuple<Cs...> checks, std::tuple<Rows...> rows) {
  return Table<R, sizeof...(Cs), Rows...>(
      name, description,
      std::apply([](auto... c) { return std::array<RecordCheckSpec, sizeof...(Cs)>{c...}; },
                 checks),
      rows);
}

}  // namespace table_detail

// A record's table: its name, a one-line description, then its rows in document order. Inherited
// rows come as the tuple their base gives (first); record checks as record_check(&R::fn, "fn").
template <class R, class... Args>
constexpr auto table(std::string_view name, std::string_view description, Args... args) {
  return table_detail::make_table<R>(name, description,
                                     std::tuple_cat(table_detail::record_checks_of(args)...),
                                     std::tuple_cat(table_detail::rows_of(args)...));
}

// ---------------------------------------------------------------------------------------------
// What checks see.

// The fields of a record validated so far (defaults included): a field that is absent from the
// input without a default, or that failed, reads as nullptr.
template <class R>
class Values {
 public:
  explicit Values(const R& rec) : rec_(&rec) {}

  // Checks ask rarely; every field is added: the search is here, the add is one bit.
  template <class B, class M>
  requires std::is_base_of_v<B, R>
  const M* get(M B::*member) const {
    const M* p = &(static_cast<const B&>(*rec_).*member);
    bool found = false;
    table_of<R>.each_indexed([&](auto i, const auto& row) {
      const void* address =
          &(static_cast<const typename std::decay_t<decltype(row)>::base_type&>(*rec_).*row.member);
      if ((valid_ >> i & 1U) != 0 && address == p) found = true;
    });
    return found ? p : nullptr;
  }

  void add(std::size_t field_index) { valid_ |= std::uint64_t{1} << field_index; }

 private:
  static_assert(kMaxFields <= 64, "one bit per field");
  const R* rec_;
  std::uint64_t valid_ = 0;  // bit i: field i of the table is valid
};

// The arguments a check may declare after its value, in any order: the validated fields so far,
// the field's key, the build's context.
template <class R>
struct CheckArgs {
  const Values<R>& values;
  const FieldInfo& info;
  const BuildContext& context;

  template <class A>
  const auto& get() const {
    using P = std::remove_cvref_t<A>;
    if constexpr (std::is_same_v<P, Values<R>>) {
      return values;
    } else if constexpr (std::is_same_v<P, FieldInfo>) {
      return info;
    } else {
      static_assert(std::is_same_v<P, BuildContext>,
                    "a check takes its value, then Values<R>, FieldInfo or BuildContext");
      return context;
    }
  }
};

template <class R, class Ret, class V, class... Args, class X>
Ret call_check(Ret (*fn)(V, Args...), X&& value, const CheckArgs<R>& args) {
  return fn(std::forward<X>(value), args.template get<Args>()...);
}

}  // namespace tarnwick::core
