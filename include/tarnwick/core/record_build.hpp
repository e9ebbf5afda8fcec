// Building, dumping and describing records: three visitors of the same field tables.
//
// Building follows one fixed algorithm: record checks on the raw mapping, then every field in
// table order (present, required or defaulted; converted; checked), then undeclared keys; every
// fault is collected and a failed build throws one ValidationError. No partly built record
// escapes.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <type_traits>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/builder.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/field_table.hpp"
#include "tarnwick/core/field_types.hpp"
#include "tarnwick/core/hints.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// ---------------------------------------------------------------------------------------------
// One field.

namespace build_detail {

// Runs a row's checks in order; `running` names the one running, for a rejection's rule.
template <std::size_t I, class R, class Row, class V>
auto run_checks(const Row& row, V&& value, const CheckArgs<R>& args, std::string_view& running) {
  if constexpr (I == std::tuple_size_v<decltype(row.checks)>) {
    return std::forward<V>(value);
  } else {
    running = std::get<I>(row.checks).name;
    auto next = call_check(std::get<I>(row.checks).fn, std::forward<V>(value), args);
    return run_checks<I + 1>(row, std::move(next), args, running);
  }
}

template <class X>
nlohmann::ordered_json plain_json(const X& x) {
  if constexpr (requires {
                  x.has_value();
                  *x;
                }) {
    return x ? plain_json(*x) : nlohmann::ordered_json(nullptr);
  } else {
    return nlohmann::ordered_json(x);
  }
}

}  // namespace build_detail

// Converts a field's node: a streamed row takes the list built while the node was read, if any.
template <class Row, class V>
bool convert_field(const Row& row, const yaml::Node& node, Builder& b, V& out) {
  if constexpr (Row::field_type::kind == TypeKind::list) {
    if (row.streamed && node.is_seq()) {
      if (auto items = b.take_streamed<typename V::value_type>(node)) {
        b.add_errors(std::move(items->errors));
        b.add_notices(std::move(items->notices));
        if (items->ok) out = std::move(items->values);
        return items->ok;
      }
    }
  }
  return types::convert_node(row.type, node, b, out);
}

// Builds one field of `rec` from its node (nullptr: absent, run the checks on the default, whose
// faults are shown at `absent_mark`); false when the field failed (its errors are in the builder).
template <class R, class Row>
bool build_field(const Row& row, R& rec, const yaml::Node* node, yaml::Mark absent_mark, Builder& b,
                 const Values<R>& values) {
  using T = typename Row::field_type;
  using M = typename Row::member_type;
  using V = typename T::value_type;
  M& member = rec.*row.member;
  if constexpr (std::tuple_size_v<decltype(row.checks)> == 0 && std::is_same_v<M, V>) {
    // Nothing to check: converted straight into the member. A failed conversion may leave the
    // member half-made, but a record with a failed field is never handed out.
    if (node == nullptr) return true;
    return convert_field(row, *node, b, member);
  } else {
    V value{};
    yaml::Mark mark = absent_mark;
    if (node != nullptr) {
      mark = node->mark();
      if (!convert_field(row, *node, b, value)) return false;
    } else if constexpr (std::is_same_v<M, V>) {
      value = member;
    } else {
      return true;  // a type-changing check cannot run on a default
    }
    const FieldInfo info{row.key};
    std::string_view running;
    try {
      member = build_detail::run_checks<0>(row, std::move(value),
                                           CheckArgs<R>{values, info, b.context()}, running);
    } catch (const ValueError& e) {
      // A check of an absent field is placed at a key, never over the mapping that lacks it.
      b.rejection(e, running, mark, node != nullptr ? About::value : About::key);
      return false;
    }
    return true;
  }
}

// A field's value as dumped: its type's dump, or plain JSON when a check stored another type (a
// list kept as its JSON text).
template <class R, class Row>
nlohmann::ordered_json dump_field(const Row& row, const R& rec) {
  using T = typename Row::field_type;
  if constexpr (std::is_same_v<typename Row::member_type, typename T::value_type>) {
    return row.type.dump(rec.*row.member);
  } else {
    return build_detail::plain_json(rec.*row.member);
  }
}

// ---------------------------------------------------------------------------------------------
// Records.

// What a record lacking a required key needs: every required key, `holder` naming the record.
template <class R>
std::string required_keys_hint(const std::string& holder) {
  constexpr const auto& table = table_of<R>;
  std::array<std::string_view, table.size> required{};
  std::size_t n = 0;
  table.each([&](const auto& row) {
    if (row.required) required[n++] = row.key;
  });
  return hints::needs(holder, {required.data(), n});
}

template <class R>
bool types::holds_key_of(const yaml::Node& map) {
  for (const yaml::Entry& e : map.entries()) {
    if (e.key->kind() == yaml::Kind::Str && table_of<R>.index_of(e.key->text()) >= 0) return true;
  }
  return false;
}

// What an undeclared key was probably meant to be, and the key already given that it repeats.
struct KeyGuess {
  hints::Meant meant;
  const yaml::Entry* twin = nullptr;
};

// The closest keys of R are the guess. When one of them is given already, the undeclared key is
// most likely that key again under another spelling: said, with no rename (a farther key would
// change what the document means, and the nearest would only be written twice).
template <class R>
std::vector<KeyGuess> meant_keys(const std::vector<const yaml::Entry*>& extra,
                                 const std::array<const yaml::Entry*, table_of<R>.size>& present) {
  constexpr const auto& table = table_of<R>;
  std::vector<KeyGuess> guesses(extra.size());
  for (std::size_t i = 0; i < extra.size(); ++i) {
    const yaml::Node& key = *extra[i]->key;
    if (key.kind() != yaml::Kind::Str) continue;
    guesses[i].meant = hints::meant_key(key.text(), table.keys());
    for (const std::string_view candidate : hints::closest_candidates(key.text(), table.keys())) {
      const yaml::Entry* given = present[static_cast<std::size_t>(table.index_of(candidate))];
      if (given == nullptr) continue;
      const yaml::Mark at = given->key->mark();
      guesses[i] = {{"`" + std::string(candidate) + "` is written too" +
                         (at.known() ? " (line " + std::to_string(at.line) + ")" : "") +
                         ": this looks like the same key under another spelling; keep one",
                     {}},
                    given};
      break;
    }
  }
  return guesses;
}

// On a missing key, the undeclared key that was its near miss; empty when none was.
inline std::string written_instead(std::string_view missing,
                                   const std::vector<const yaml::Entry*>& extra,
                                   const std::vector<KeyGuess>& guesses) {
  for (std::size_t i = 0; i < extra.size(); ++i) {
    if (guesses[i].meant.fix == missing) {
      return hints::written_instead(extra[i]->key->text(), missing);
    }
  }
  return {};
}

// An undeclared key's fault: its guess as the hint (else where the key belongs), the rename as a
// safe fix when one key is nearest, the key it repeats as a related place.
template <class R>
void extra_key_fault(Builder& b, const yaml::Node& key, const KeyGuess& guess) {
  LocGuard at(b, types::key_loc(key));
  std::string hint = guess.meant.hint;
  if (hint.empty() && key.kind() == yaml::Kind::Str) {
    hint = hints::key_elsewhere(key.text(), table_of<R>.name);
  }
  ErrorDetail& fault = b.error(std::string(msg::kExtra), std::string(kind::kExtra), key.mark(),
                               nullptr, std::move(hint));
  fault.about = About::key;
  if (const std::string_view to = guess.meant.fix; !to.empty()) {
    fault.fix = Fix{std::string(to), "Rename the key to `" + std::string(to) + "`", {}, {},
                    Applicability::safe};
  }
  if (guess.twin != nullptr) {
    Loc twin = fault.loc;
    twin.back() = std::string(guess.twin->key->text());  // a key of the table: text
    fault.related.push_back(
        {std::move(twin), "written here", guess.twin->key->mark(), {}, false});
  }
}

// Builds a record of type R from a node into `rec` (which holds R's defaults), recording every
// error under the builder's current location. True when the record is whole.
template <class R>
bool build_into(const yaml::Node& node, Builder& b, R& rec) {
  constexpr const auto& table = table_of<R>;
  if (!node.is_map()) {
    b.error(std::string(msg::kDict), "type_error.dict", node.mark());
    return false;
  }
  const yaml::Node* raw = &node;
  for (const RecordCheckSpec& record_check : table.record_checks) {
    try {
      raw = &record_check.fn(*raw);
    } catch (const ValueError& e) {
      LocGuard at(b, std::string_view("__root__"));
      b.rejection(e, record_check.name, node.mark(), About::value);
      return false;
    }
  }

  const std::size_t errors_before = b.error_count();
  std::array<const yaml::Entry*, table.size> present{};
  std::vector<const yaml::Entry*> extra;
  std::uint64_t given = 0;
  for (const yaml::Entry& e : raw->entries()) {
    std::ptrdiff_t i = e.key->kind() == yaml::Kind::Str ? table.index_of(e.key->text()) : -1;
    if (i < 0) {
      extra.push_back(&e);
    } else {
      present[static_cast<std::size_t>(i)] = &e;
      given |= std::uint64_t{1} << i;
    }
  }
  rec.fields_given = given;
  const std::vector<KeyGuess> meant = meant_keys<R>(extra, present);

  // An absent key is shown at the key the record is written under (its first key may be
  // anything), or at the mapping itself for a list item or the top record.
  const yaml::Mark absent_mark = b.holder_mark().known() ? b.holder_mark() : raw->mark();
  Values<R> values(rec);
  table.each_indexed([&](auto i, const auto& row) {
    bool ok = true;
    if (present[i] != nullptr) {
      LocGuard at(b, row.key, present[i]->key->mark());
      ok = build_field(row, rec, present[i]->value, raw->mark(), b, values);
    } else if (row.required) {
      // Named by the key the record is written under, else by what it is.
      const std::string_view named = b.holder_key().empty() ? table.name : b.holder_key();
      std::string hint = written_instead(row.key, extra, meant);
      if (hint.empty()) {
        hint = required_keys_hint<R>(b.depth() == 0 ? std::string("the document")
                                                    : "`" + std::string(named) + "`");
      }
      LocGuard at(b, row.key);
      b.error(std::string(msg::kMissing), std::string(kind::kMissing), absent_mark, nullptr,
              std::move(hint))
          .about = About::key;
      ok = false;
    } else if (row.always) {
      LocGuard at(b, row.key);
      ok = build_field(row, rec, nullptr, absent_mark, b, values);
    }
    if (ok) values.add(i);
  });
  for (std::size_t i = 0; i < extra.size(); ++i) extra_key_fault<R>(b, *extra[i]->key, meant[i]);
  return b.error_count() == errors_before;
}

// Builds a record of type R in the given context, or throws ValidationError listing every fault.
// The lint warnings seen while converting go to `notices` when given, whether the build failed
// or not: each is about its own node alone.
template <class R>
R build(const yaml::Node& node, BuildContext context, StreamedLists* streamed = nullptr,
        std::vector<ErrorDetail>* notices = nullptr) {
  Builder b(context, streamed);
  R rec{};
  const bool built = build_into(node, b, rec);
  if (notices != nullptr) *notices = b.take_notices();
  if (!built) throw ValidationError(std::string(table_of<R>.name), b.take_errors());
  return rec;
}

// Every field of the record, in field order, defaults and nulls included; addresses and
// networks as text.
template <class R>
nlohmann::ordered_json dump(const R& rec) {
  constexpr const auto& table = table_of<R>;
  auto o = nlohmann::ordered_json::object();
  // Keys are unique in a table: appended directly, not looked up (ordered_json's operator[]
  // searches linearly, which made dumping quadratic in the field count).
  auto& entries = o.get_ref<nlohmann::ordered_json::object_t&>();
  entries.reserve(table.size);
  table.each([&](const auto& row) {
    entries.emplace_back(std::piecewise_construct, std::forward_as_tuple(row.key),
                         std::forward_as_tuple(dump_field(row, rec)));
  });
  return o;
}

template <class R>
bool types::Record<R>::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  return build_into(node, b, out);
}

template <class R>
nlohmann::ordered_json types::Record<R>::dump(const value_type& v) const {
  return core::dump(v);
}

// ---------------------------------------------------------------------------------------------
// JSON Schema export.

// A field's JSON Schema property: its description, its type's schema and, unless the field is
// required, its default (the member of `defaults`, a default-constructed record, as dumped).
template <class R, class Row>
nlohmann::ordered_json field_schema(const Row& row, const R& defaults,
                                    nlohmann::ordered_json* definitions) {
  nlohmann::ordered_json s = row.type.schema(definitions);
  // An absent section that reads as empty dumps as {}, which is no value one could write instead.
  if (row.required || row.type_info().absent_empty) {
    return types::property_schema(std::move(s), row.description, nullptr);
  }
  const nlohmann::ordered_json default_value = dump_field(row, defaults);
  return types::property_schema(std::move(s), row.description, &default_value);
}

// The JSON Schema (draft-07) of record R: an object of its fields in table order, the required
// ones listed, no other key allowed. Nested record types are added to `definitions` (when given)
// and referred to as "#/definitions/<record name>".
template <class R>
nlohmann::ordered_json record_schema(nlohmann::ordered_json* definitions) {
  constexpr const auto& table = table_of<R>;
  const R defaults{};
  auto properties = nlohmann::ordered_json::object();
  auto required_keys = nlohmann::ordered_json::array();
  table.each([&](const auto& row) {
    properties[std::string(row.key)] = field_schema(row, defaults, definitions);
    if (row.required) required_keys.push_back(std::string(row.key));
  });
  nlohmann::ordered_json s{{"title", std::string(table.name)}, {"type", "object"}};
  s["properties"] = std::move(properties);
  if (!required_keys.empty()) s["required"] = std::move(required_keys);
  s["additionalProperties"] = false;
  return s;
}

template <class R>
nlohmann::ordered_json types::Record<R>::schema(nlohmann::ordered_json* definitions) const {
  const std::string name(table_of<R>.name);
  if (definitions != nullptr && !definitions->contains(name)) {
    // Claim the name first so that a record type reached again while its own definition is
    // being made is referred to, not expanded.
    (*definitions)[name] = nullptr;
    nlohmann::ordered_json definition = record_schema<R>(definitions);
    (*definitions)[name] = std::move(definition);
  }
  return {{"$ref", "#/definitions/" + name}};
}

// ---------------------------------------------------------------------------------------------
// Walking the record types.

// Calls f.template operator()<N>() for every record type N that R's rows hold (through optional,
// list and mapping types), each once, R included, parents before their nested records.
template <class R, class F, class... Seen>
void for_each_record_type(F&& f);

namespace build_detail {

// The record type a value of field type T holds (through optional, list and a mapping's values),
// as a std::type_identity; void when none.
template <class T>
constexpr auto nested_record_of() {
  constexpr TypeKind k = T::kind;
  if constexpr (k == TypeKind::record) {
    return std::type_identity<typename T::record_type>{};
  } else if constexpr (k == TypeKind::optional || k == TypeKind::list) {
    return nested_record_of<decltype(T::item)>();
  } else if constexpr (k == TypeKind::mapping) {
    return nested_record_of<decltype(T::value)>();
  } else if constexpr (is_scalar_kind(k)) {
    return std::type_identity<void>{};
  } else {
    static_assert(types::kUnknownKind<T>, "a field type of a kind nested_record does not know");
  }
}
template <class T>
using nested_record_t = typename decltype(nested_record_of<T>())::type;

}  // namespace build_detail

template <class R, class F, class... Seen>
void for_each_record_type(F&& f) {
  if constexpr (!(std::is_same_v<R, Seen> || ...)) {
    f.template operator()<R>();
    table_of<R>.each([&](const auto& row) {
      using T = typename std::decay_t<decltype(row)>::field_type;
      using N = build_detail::nested_record_t<T>;
      if constexpr (!std::is_void_v<N>) for_each_record_type<N, F&, R, Seen...>(f);
    });
  }
}

}  // namespace tarnwick::core
