// JSON Schema export: the scalar field types' schemas and the whole document's schema. The
// composite types (optional, list, mapping, record) build theirs in record_frame.hpp.
#include "tarnwick/core/schema.hpp"

#include <algorithm>
#include <string>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

using J = nlohmann::ordered_json;

namespace types {

namespace {

// An octet as IPv4Address::parse reads it: 0-255, no leading zero.
constexpr std::string_view kOctet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])";

std::string dotted_quad() {
  const std::string octet(kOctet);
  return octet + "(\\." + octet + "){3}";
}

}  // namespace

J nullable(J schema) {
  if (schema.contains("type")) {
    J& type = schema["type"];
    if (!type.is_array()) type = J::array({type});
    if (std::find(type.begin(), type.end(), "null") == type.end()) type.push_back("null");
    // An enum lists every value allowed, so null must join it too.
    if (schema.contains("enum") &&
        std::find(schema["enum"].begin(), schema["enum"].end(), nullptr) == schema["enum"].end()) {
      schema["enum"].push_back(nullptr);
    }
    return schema;
  }
  return {{"anyOf", J::array({std::move(schema), {{"type", "null"}}})}};
}

J property_schema(J type_schema, std::string_view description, const J* default_value) {
  J s = J::object();
  if (!description.empty()) s["description"] = std::string(description);
  if (type_schema.contains("$ref")) {
    // Draft-07 ignores every keyword beside "$ref": wrap it so the description and default
    // still count.
    s["allOf"] = J::array({std::move(type_schema)});
  } else {
    for (auto& [key, value] : type_schema.items()) s[key] = std::move(value);
  }
  if (default_value != nullptr) s["default"] = *default_value;
  return s;
}

// A plain scalar that YAML resolves to a number or a boolean is taken as the text written.
J Str::schema(J* /*definitions*/) const {
  return {{"type", {"string", "number", "boolean"}}};
}

J ConStr::schema(J* /*definitions*/) const {
  J s;
  if (pattern != nullptr) {
    // Only a plain integer's text can match a pattern of digits; "True" or "1.5" cannot.
    s["type"] = {"string", "integer"};
    s["pattern"] = std::string(pattern->text);
    if (pattern == &kDigits) s["minimum"] = 0;
  } else {
    s["type"] = {"string", "number", "boolean"};
  }
  if (max_length != 0) s["maxLength"] = max_length;
  return s;
}

J Bool::schema(J* /*definitions*/) const {
  return {{"type", "boolean"}};
}

J IPv4AddressType::schema(J* /*definitions*/) const {
  return {{"type", "string"}, {"format", "ipv4"}};
}

// ADDR, ADDR/PREFIX (leading zeros allowed, 0-32) or ADDR/MASK; host bits cannot be told by a
// pattern.
J IPv4NetworkType::schema(J* /*definitions*/) const {
  const std::string quad = dotted_quad();
  return {{"type", "string"},
          {"pattern", "^" + quad + "(/(0*([0-9]|[12][0-9]|3[0-2])|" + quad + "))?$"}};
}

J Literal::schema(J* /*definitions*/) const {
  auto choices_json = J::array();
  for (std::size_t i = 0; i < count; ++i) choices_json.push_back(std::string(choices[i]));
  return {{"type", "string"}, {"enum", std::move(choices_json)}};
}

}  // namespace types

J document_schema() {
  J definitions = J::object();
  J root = record_schema<DiscoveryConfiguration>(&definitions);
  J s;
  s["$schema"] = std::string(kSchemaDialect);
  s["title"] = "tarnwick VPC migration document";
  s["description"] =
      "One migration (or discovery) run of tarnwick: where the Terraform goes, the controller, "
      "the spoke accounts with their regions and VPCs, and the switches of the run.";
  for (auto& [key, value] : root.items()) {
    if (key != "title") s[key] = std::move(value);
  }
  s["definitions"] = std::move(definitions);
  return s;
}

}  // namespace tarnwick::core
