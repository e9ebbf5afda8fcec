// Terraform Cloud settings of the `terraform` section: the organization and the workspaces,
// chosen by one name or by tags.
#pragma once

#include <optional>
#include <string>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

struct TfCloudConfig : BaseModel {
  std::optional<std::string> organization;
  std::optional<std::string> workspace_name;
  // Given as a list of tags; stored as the JSON text of that list (["abc", "dec"]), which is
  // what the generator writes into the Terraform files.
  std::optional<std::string> tags;

  // Whether a raw value counts as set: not null and of non-zero length (not trimmed). A value
  // that has no length (a number, a boolean, a date) is refused with a ValueError.
  static bool valid_str_attribute(const yaml::Node& val, std::string_view what);

  static const yaml::Node& check_required_attributes(const yaml::Node& values);
  static std::optional<std::string> check_and_rewrite_tags(
      std::optional<std::vector<std::string>> val);

  static constexpr auto fields();
  friend bool operator==(const TfCloudConfig&, const TfCloudConfig&) = default;
};

constexpr auto TfCloudConfig::fields() {
  using R = TfCloudConfig;
  namespace t = types;
  return table<R>(
      "TfCloudConfig", "Terraform Cloud settings; tags as the JSON text of the list given.",
      record_check(&R::check_required_attributes, "check_required_attributes"),
      field("organization", &R::organization, t::optional(t::_str),
            doc("Terraform Cloud organization; required.")),
      field("workspace_name", &R::workspace_name, t::optional(t::_str),
            doc("Workspace by name; give this or tags, not both.")),
      field("tags", &R::tags, t::optional(t::list(t::_str)),
            check(&R::check_and_rewrite_tags, "check_and_rewrite_tags"),
            doc("Workspaces by tags (a non-empty list); give this or workspace_name, not both.")));
}

}  // namespace tarnwick::core
