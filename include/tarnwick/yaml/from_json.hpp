// A parsed JSON value as a node tree, so that a host's dict is loaded as a document read from
// text is.
#pragma once

#include <nlohmann/json.hpp>

#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml {

// The value's nodes carry no source positions. Nesting deeper than limits.max_depth throws
// std::invalid_argument.
Document document_from_json(const nlohmann::ordered_json& value, const Limits& limits = {});

}  // namespace tarnwick::yaml
