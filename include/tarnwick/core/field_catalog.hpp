// The field tables as data for editors: per record, its fields with what a hover or a completion
// shows (type in words, default, allowed values) and the records they lead to.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/type_descriptor.hpp"

namespace tarnwick::core {

struct RecordEntry;

struct FieldEntry {
  std::string_view key, description;
  std::string type;  // in words: "text", "IPv4 address", "list of IPv4 network", "... or null"
  bool required = false;
  nlohmann::ordered_json default_value;   // the default as dumped; null when required or none
  std::vector<std::string_view> choices;  // a Literal's choices (of the field or its items)
  const RecordEntry* record = nullptr;    // the nested record, if any
  bool list = false;   // the record (or the choices) are reached through list items
  bool keyed = false;  // ... through a mapping's own keys
  bool boolean = false;  // the value is true or false, or null
};

struct RecordEntry {
  std::string_view name, description;
  std::vector<FieldEntry> fields;  // table order
  const FieldEntry* find(std::string_view key) const;
};

// What a field's type tells its entry: the type in words, the choices and whether they (or the
// record) are reached through list items or a mapping's keys, whether it is a boolean. The record
// itself is linked by the catalog, which has every record's entry.
void read_type(const TypeInfo& type, FieldEntry& f);

// The catalog of the whole document, DiscoveryConfiguration at the root; built once, on first
// use (thread-safe), and never changed.
const RecordEntry& document_catalog();

}  // namespace tarnwick::core
