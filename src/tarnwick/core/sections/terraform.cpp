#include "tarnwick/core/sections/terraform.hpp"

namespace tarnwick::core {

std::optional<std::string> TerraformConfig::check_field_for_none(
    std::optional<std::string> val, const Values<TerraformConfig>& /*values*/,
    const FieldInfo& field, const BuildContext& context) {
  if (context.discovery_only) return val;
  if (!val) {
    throw ValueError(
        "missing " + std::string(field.name) + " attribute",
        "give `" + std::string(field.name) + "`; only a discovery-only run may omit it");
  }
  return val;
}

std::optional<TfCloudConfig> TerraformConfig::check_tfcloud_for_none(
    std::optional<TfCloudConfig> val, const Values<TerraformConfig>& /*values*/) {
  if (!val) {
    throw ValueError("missing organization, workspace_name, tags attributes",
                     "`tf_cloud` needs `organization` plus `workspace_name` or `tags`");
  }
  return val;
}

std::optional<std::string> TerraformConfig::validate_tmp_folder_id(std::optional<std::string> val) {
  if (!val) return val;
  if (*val != "VPC_ID" && *val != "YAML_ID") {
    throw ValueError(R"(Valid input for tmp_folder_id is "VPC_ID" or "YAML_ID")");
  }
  return val;
}

}  // namespace tarnwick::core
