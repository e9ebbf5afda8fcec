#include "tarnwick/core/sections/tf_cloud.hpp"

#include "tarnwick/core/text_forms.hpp"

namespace tarnwick::core {

namespace {
constexpr std::string_view kNeeds =
    "`tf_cloud` needs `organization` plus `workspace_name` or `tags`";
}  // namespace

bool TfCloudConfig::valid_str_attribute(const yaml::Node& val, std::string_view what) {
  switch (val.kind()) {
    case yaml::Kind::Null:
      return false;
    case yaml::Kind::Str:
      return !val.text().empty();
    case yaml::Kind::Seq:
    case yaml::Kind::Map:
      return val.size() != 0;
    default:
      throw ValueError(std::string(what) + " must be a string, not " +
                       std::string(yaml::kind_name(val.kind())) + " " + python_repr(val));
  }
}

const yaml::Node& TfCloudConfig::check_required_attributes(const yaml::Node& values) {
  const yaml::Node* organization = values.find("organization");
  if (organization == nullptr || !valid_str_attribute(*organization, "organization")) {
    throw ValueError("Missing organization name", std::string(kNeeds));
  }
  const yaml::Node* workspace_name = values.find("workspace_name");
  const yaml::Node* tags = values.find("tags");
  if (workspace_name == nullptr && tags == nullptr) {
    throw ValueError("Required workspace_name or tags atttribute to be defined",
                     std::string(kNeeds));
  }
  if (workspace_name != nullptr && tags != nullptr) {
    throw ValueError("Either workspace_name or tags is allowed",
                     "give `workspace_name` or `tags`, not both");
  }
  if (workspace_name != nullptr && !valid_str_attribute(*workspace_name, "workspace_name")) {
    throw ValueError("Missing workspace_name");
  }
  if (tags != nullptr) {
    if (!tags->is_seq()) {
      throw ValueError("tags must be a list of strings, not " +
                       std::string(yaml::kind_name(tags->kind())) + " " + python_repr(*tags));
    }
    bool all_set = true;
    for (const yaml::Node* tag : tags->items()) all_set &= valid_str_attribute(*tag, "a tag");
    if (!all_set) throw ValueError("Empty tag not allowed");
  }
  return values;
}

std::optional<std::string> TfCloudConfig::check_and_rewrite_tags(
    std::optional<std::vector<std::string>> val) {
  if (!val) return std::nullopt;
  if (val->empty()) throw ValueError("tags list cannot be empty");
  return json_string_list(*val);
}

}  // namespace tarnwick::core
