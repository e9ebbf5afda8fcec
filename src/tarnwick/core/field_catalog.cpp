// The field catalog: one more visitor of the field tables, for editors.
#include "tarnwick/core/field_catalog.hpp"

#include <deque>
#include <unordered_map>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::core {

namespace {

// How a field reaches its choices: through list items, a mapping's keys, or directly; and
// whether its value is true or false, or null.
void reach(const TypeInfo& type, FieldEntry& f) {
  switch (type.kind) {
    case TypeKind::choice:
      f.choices.assign(type.choices.begin(), type.choices.end());
      return;
    case TypeKind::boolean:
      f.boolean = !f.list && !f.keyed;
      return;
    case TypeKind::optional:
      reach(type.item(), f);
      return;
    case TypeKind::list:
      f.list = true;
      reach(type.item(), f);
      return;
    case TypeKind::mapping:
      // A mapping's choices are those of its keys (region names); its record is its values'.
      f.keyed = true;
      reach(type.key(), f);
      return;
    case TypeKind::text:
    case TypeKind::constrained_text:
    case TypeKind::address:
    case TypeKind::network:
    case TypeKind::record:
      return;
  }
}

// ---------------------------------------------------------------------------------------------
// The catalog.

using ByName = std::unordered_map<std::string_view, const RecordEntry*>;

template <class R>
void fill(RecordEntry& entry, const ByName& by_name) {
  const R defaults{};
  table_of<R>.each([&](const auto& row) {
    const TypeInfo& type = row.type_info();
    FieldEntry f;
    f.key = row.key;
    f.description = row.description;
    f.required = row.required;
    // The schema's rule decides which defaults are worth showing.
    f.default_value =
        field_schema(row, defaults, nullptr).value("default", nlohmann::ordered_json());
    read_type(type, f);
    if (const TypeInfo* nested = type.nested_record()) f.record = by_name.at(nested->record_name());
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

void read_type(const TypeInfo& type, FieldEntry& f) {
  f.type = type.label();
  reach(type, f);
  // Through a list or a mapping, but to nothing an editor offers.
  if (type.nested_record() == nullptr && f.choices.empty()) f.list = f.keyed = false;
}

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
