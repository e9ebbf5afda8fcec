// `tarnwick-config explain`: what a key of the document is (its type, default, whether it is
// required and in which mode, its choices, its description and the checks about it), read from
// the field catalog and the rule registry, so that it never says other than the loader does.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnwick::cli {

enum class ExplainFormat { text, json, markdown, paths };

// The --format names, in the order the help lists them.
const std::vector<std::pair<std::string, ExplainFormat>>& explain_format_names();

// A key path that names no key, or several: a usage error, its message one line.
class ExplainError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The key path of the one key `written` names, as the rules write paths: keys alone, dotted, list
// indexes and mapping keys left out ("" for the document). `written` is a path as a document
// writes it, from the top (`account_info.0.regions.1.vpcs.0.crvn_cidr`, indexes optional) or
// from any record down when that names one key only (`crvn_cidr`, `vpcs.crvn_cidr`). Throws
// ExplainError for a path that names no key (with the closest one) or several (listing them).
std::string resolve_key_path(std::string_view written);

// The key at `path` (as resolve_key_path gives it) as data: path, key, type, required ("always",
// "migration" or "optional"), default, choices, description, record, checks; its record's keys
// under "fields", each in the same form, `depth` levels down.
nlohmann::ordered_json explain_json(const std::string& path, int depth);

// The whole command: the explanation of the key `written` names ("": the document's top level),
// with `recursive` of everything below it, in `format`. Throws ExplainError.
std::string explain(std::string_view written, bool recursive, ExplainFormat format);

// The renderings of explain_json's data (explain_render.cpp).
std::string explain_text(const nlohmann::ordered_json& node, bool recursive);
std::string explain_markdown(const nlohmann::ordered_json& node, bool recursive);

}  // namespace tarnwick::cli
