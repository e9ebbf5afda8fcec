#include "tarnwick/core/sections/terraform.hpp"

namespace tarnwick::core {

namespace t = types;

std::optional<std::string> TerraformConfig::check_field_for_none(
    std::optional<std::string> val, const Values<TerraformConfig>& /*values*/,
    const FieldInfo& field) {
  if (TerraformConfig::discovery_only()) return val;
  if (!val) throw ValueError("missing " + std::string(field.name) + " attribute");
  return val;
}

std::optional<TfCloudConfig> TerraformConfig::check_tfcloud_for_none(
    std::optional<TfCloudConfig> val, const Values<TerraformConfig>& /*values*/) {
  if (!val) throw ValueError("missing organization, workspace_name, tags attributes");
  return val;
}

std::optional<std::string> TerraformConfig::validate_tmp_folder_id(std::optional<std::string> val) {
  if (!val) return val;
  if (*val != "VPC_ID" && *val != "YAML_ID") {
    throw ValueError(R"(Valid input for tmp_folder_id is "VPC_ID" or "YAML_ID")");
  }
  return val;
}

const Schema<TerraformConfig>& TerraformConfig::schema() {
  using R = TerraformConfig;
  static const Schema<R> schema{
      "TerraformConfig",
      {
          {"terraform_output", &R::terraform_output, t::_str, required,
           doc("Folder the generated Terraform is written to.")},
          {"terraform_version", &R::terraform_version, t::optional(t::_str),
           check_always(&R::check_field_for_none),
           doc("Terraform version constraint; required unless discovery only.")},
          {"corvane_provider", &R::corvane_provider, t::optional(t::_str),
           check_always(&R::check_field_for_none),
           doc("Corvane provider version constraint; required unless discovery only.")},
          {"aws_provider", &R::aws_provider, t::optional(t::_str),
           check_always(&R::check_field_for_none),
           doc("AWS provider version constraint; required unless discovery only.")},
          {"enable_s3_backend", &R::enable_s3_backend, t::boolean,
           doc("Keep the Terraform state in an S3 backend.")},
          {"module_source", &R::module_source, t::optional(t::_str),
           doc("Source of the spoke VPC module.")},
          {"module_name", &R::module_name, t::optional(t::_str),
           doc("Name of the spoke VPC module.")},
          {"tf_cloud", &R::tf_cloud, t::optional(t::record<TfCloudConfig>()),
           check(&R::check_tfcloud_for_none),
           doc("Terraform Cloud settings; when the key is given it must not be null.")},
          {"tmp_folder_id", &R::tmp_folder_id, t::optional(t::_str),
           check(&R::validate_tmp_folder_id),
           doc("What names the temporary folders: VPC_ID or YAML_ID.")},
      }};
  return schema;
}

}  // namespace tarnwick::core
