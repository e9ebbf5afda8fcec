// The field catalog: one more visitor of the field tables, for editors.
#include "tarnwick/core/field_catalog.hpp"

#include <deque>
#include <type_traits>
#include <unordered_map>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::core {

namespace {

namespace t = types;

// ---------------------------------------------------------------------------------------------
// A field type in words. All overloads are declared before the templates use one another.

std::string label(const t::Str&) {
  return "text";
}
std::string label(const t::ConStr& s) {
  if (s.pattern == &t::kDigits) return "digits";
  std::string out = "text";
  if (s.max_length != 0) out += " of at most " + std::to_string(s.max_length) + " characters";
  if (s.pattern != nullptr && s.pattern != &t::kDigits) {
    out += " matching `" + std::string(s.pattern->text) + "`";
  }
  return out;
}
std::string label(const t::Bool&) {
  return "boolean";
}
std::string label(const t::IPv4AddressType&) {
  return "IPv4 address";
}
std::string label(const t::IPv4NetworkType&) {
  return "IPv4 network";
}
std::string label(const t::Literal& l) {
  std::string out = "one of ";
  for (std::size_t i = 0; i < l.count; ++i) {
    if (i != 0) out += ", ";
    out += l.choices[i];
  }
  return out;
}
template <class T>
std::string label(const t::Optional<T>& o);
template <class T>
std::string label(const t::OrEmpty<T>& o);
template <class T>
std::string label(const t::List<T>& l);
template <class K, class V>
std::string label(const t::Mapping<K, V>& m);
template <class R>
std::string label(const t::Record<R>&);

template <class T>
std::string label(const t::Optional<T>& o) {
  return label(o.inner) + " or null";
}
template <class T>
std::string label(const t::OrEmpty<T>& o) {
  return label(o.inner) + " or null";
}
template <class T>
std::string label(const t::List<T>& l) {
  return "list of " + label(l.item);
}
template <class K, class V>
std::string label(const t::Mapping<K, V>& m) {
  return "mapping of " + label(m.key) + " to " + label(m.value);
}
template <class R>
std::string label(const t::Record<R>&) {
  return std::string(table_of<R>.name);
}

// ---------------------------------------------------------------------------------------------
// How a field reaches its choices: through list items, a mapping's keys, or directly. All
// overloads are declared first: an optional list must find the list's (config.snat_policies).

template <class T>
void reach(const T&, FieldEntry&) {}
void reach(const t::Literal& l, FieldEntry& f) {
  f.choices.assign(l.choices, l.choices + l.count);
}
template <class T>
void reach(const t::Optional<T>& o, FieldEntry& f);
template <class T>
void reach(const t::OrEmpty<T>& o, FieldEntry& f);
template <class T>
void reach(const t::List<T>& l, FieldEntry& f);
template <class K, class V>
void reach(const t::Mapping<K, V>& m, FieldEntry& f);

template <class T>
void reach(const t::Optional<T>& o, FieldEntry& f) {
  reach(o.inner, f);
}
template <class T>
void reach(const t::OrEmpty<T>& o, FieldEntry& f) {
  reach(o.inner, f);
}
template <class T>
void reach(const t::List<T>& l, FieldEntry& f) {
  f.list = true;
  reach(l.item, f);
}
template <class K, class V>
void reach(const t::Mapping<K, V>& m, FieldEntry& f) {
  // A mapping's choices are those of its keys (region names); its record is its values'.
  f.keyed = true;
  reach(m.key, f);
}

// A value that is true or false, or null.
template <class T>
constexpr bool boolean_v = std::is_same_v<T, t::Bool>;
template <class T>
constexpr bool boolean_v<t::Optional<T>> = boolean_v<T>;
template <class T>
constexpr bool boolean_v<t::OrEmpty<T>> = boolean_v<T>;

// ---------------------------------------------------------------------------------------------
// The catalog.

using ByName = std::unordered_map<std::string_view, const RecordEntry*>;

template <class R>
void fill(RecordEntry& entry, const ByName& by_name) {
  const R defaults{};
  table_of<R>.each([&](const auto& row) {
    using T = typename std::decay_t<decltype(row)>::field_type;
    using N = typename build_detail::nested_record<T>::type;
    FieldEntry f;
    f.key = row.key;
    f.description = row.description;
    f.type = label(row.type);
    f.required = row.required;
    // The schema's rule decides which defaults are worth showing.
    f.default_value =
        field_schema(row, defaults, nullptr).value("default", nlohmann::ordered_json());
    reach(row.type, f);
    f.boolean = boolean_v<T>;
    if constexpr (!std::is_void_v<N>) f.record = by_name.at(table_of<N>.name);
    if (f.record == nullptr && f.choices.empty()) f.list = f.keyed = false;
    entry.fields.push_back(std::move(f));
  });
}

std::deque<RecordEntry> build_catalog() {
  std::deque<RecordEntry> records;  // stable addresses: fields point at their records
  ByName by_name;
  for_each_record_type<DiscoveryConfiguration>([&]<class R>() {
    RecordEntry& e = records.emplace_back();
    e.name = table_of<R>.name;
    e.description = table_of<R>.description;
    by_name.emplace(e.name, &e);
  });
  std::size_t i = 0;
  for_each_record_type<DiscoveryConfiguration>([&]<class R>() { fill<R>(records[i++], by_name); });
  return records;
}

}  // namespace

const FieldEntry* RecordEntry::find(std::string_view key) const {
  for (const FieldEntry& f : fields) {
    if (f.key == key) return &f;
  }
  return nullptr;
}

const RecordEntry& document_catalog() {
  static const std::deque<RecordEntry> records = build_catalog();
  return records.front();
}

}  // namespace tarnwick::core
