// A dumped configuration as YAML: the same mapping `dump` prints as JSON, in block style.
#pragma once

#include <string>

#include <nlohmann/json.hpp>

namespace tarnwick::yaml {

// The value as one YAML document in block style, ending in a newline. Strings that a YAML 1.1
// reader would take for another kind (yes, 123, null, 2001-01-01, <<) are quoted, so the text
// reads back as the same mapping. Throws std::runtime_error when the emitter refuses a value.
std::string to_yaml(const nlohmann::ordered_json& value);

}  // namespace tarnwick::yaml
