// The JSON Schema of a migration document, made from the same field tables that drive building,
// for editors and other tools that check YAML against a schema.
#pragma once

#include <string_view>

#include <nlohmann/json.hpp>

namespace tarnwick::core {

// The dialect of the exported schema: draft-07, the one editors read most reliably.
inline constexpr std::string_view kSchemaDialect = "http://json-schema.org/draft-07/schema#";

// The whole document's schema: the DiscoveryConfiguration record at the root and every nested
// record type under "definitions", keyed by record name. It describes each field's accepted
// shapes; record checks and cross-field checks are code, so the loader can still refuse a
// document the schema accepts. Booleans are described as true/false only, although the loader
// also takes 0, 1 and words such as "yes" and "off".
nlohmann::ordered_json document_schema();

}  // namespace tarnwick::core
