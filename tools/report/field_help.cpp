#include "report/field_help.hpp"

#include <cstddef>
#include <type_traits>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::report {

namespace {

// Whether a value of the type is reached through one more key (a mapping's own key).
template <class T>
struct keyed : std::false_type {};
template <class T>
struct keyed<core::types::Optional<T>> : keyed<T> {};
template <class T>
struct keyed<core::types::OrEmpty<T>> : keyed<T> {};
template <class T>
struct keyed<core::types::List<T>> : keyed<T> {};
template <class K, class V>
struct keyed<core::types::Mapping<K, V>> : std::true_type {};

std::size_t next_key(const core::Loc& loc, std::size_t i) {
  while (i < loc.size() && !std::holds_alternative<std::string>(loc[i])) ++i;
  return i;
}

// Follows loc from position i in record R's table; `found` is the description so far.
template <class R>
std::string_view describe(const core::Loc& loc, std::size_t i, std::string_view found) {
  i = next_key(loc, i);
  if (i == loc.size()) return found;
  const std::string& key = std::get<std::string>(loc[i]);
  core::table_of<R>.each([&](const auto& row) {
    if (row.key != key) return;
    using T = typename std::decay_t<decltype(row)>::field_type;
    using N = typename core::build_detail::nested_record<T>::type;
    found = row.description;
    if constexpr (!std::is_void_v<N>) {
      const std::size_t next = keyed<T>::value ? next_key(loc, i + 1) + 1 : i + 1;
      if (next <= loc.size()) found = describe<N>(loc, next, found);
    }
  });
  return found;
}

}  // namespace

std::string_view field_description(const core::Loc& loc) {
  return describe<core::DiscoveryConfiguration>(loc, 0, {});
}

}  // namespace tarnwick::report
