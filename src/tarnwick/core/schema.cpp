// The document's JSON Schema, made from the field tables (each field type describes itself).
#include "tarnwick/core/schema.hpp"

#include <algorithm>
#include <string>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

using J = nlohmann::ordered_json;

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
