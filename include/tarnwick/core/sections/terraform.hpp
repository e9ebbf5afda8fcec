// The `terraform` section: where the generated Terraform goes and how it is parametrised.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/sections/tf_cloud.hpp"

namespace tarnwick::core {

struct TerraformConfig : BaseModel {
  // Constants of the type, never document keys.
  static constexpr std::string_view DEFAULT_MODULE_SOURCE = "../module_aws_brownfield_spoke_vpc";
  static constexpr std::string_view DEFAULT_MODULE_NAME = "module_aws_brownfield_spoke_vpc";

  std::string terraform_output;
  std::optional<std::string> terraform_version;
  std::optional<std::string> corvane_provider;
  std::optional<std::string> aws_provider;
  bool enable_s3_backend = false;
  std::optional<std::string> module_source = std::string(DEFAULT_MODULE_SOURCE);
  std::optional<std::string> module_name = std::string(DEFAULT_MODULE_NAME);
  std::optional<TfCloudConfig> tf_cloud;
  std::optional<std::string> tmp_folder_id;

  // The three version fields must be given unless the tool only discovers.
  static std::optional<std::string> check_field_for_none(std::optional<std::string> val,
                                                         const Values<TerraformConfig>& values,
                                                         const FieldInfo& field,
                                                         const BuildContext& context);
  // A tf_cloud key must carry settings.
  static std::optional<TfCloudConfig> check_tfcloud_for_none(std::optional<TfCloudConfig> val,
                                                             const Values<TerraformConfig>& values);
  static std::optional<std::string> validate_tmp_folder_id(std::optional<std::string> val);

  static constexpr auto fields();
  friend bool operator==(const TerraformConfig&, const TerraformConfig&) = default;
};

constexpr auto TerraformConfig::fields() {
  using R = TerraformConfig;
  namespace t = types;
  return table<R>(
      "TerraformConfig", "The `terraform` section.",
      field("terraform_output", &R::terraform_output, t::_str, required,
            doc("Folder the generated Terraform is written to.")),
      field("terraform_version", &R::terraform_version, t::optional(t::_str),
            check_always(&R::check_field_for_none, "check_field_for_none"),
            doc("Terraform version constraint; required unless discovery only.")),
      field("corvane_provider", &R::corvane_provider, t::optional(t::_str),
            check_always(&R::check_field_for_none, "check_field_for_none"),
            doc("Corvane provider version constraint; required unless discovery only.")),
      field("aws_provider", &R::aws_provider, t::optional(t::_str),
            check_always(&R::check_field_for_none, "check_field_for_none"),
            doc("AWS provider version constraint; required unless discovery only.")),
      field("enable_s3_backend", &R::enable_s3_backend, t::boolean,
            doc("Keep the Terraform state in an S3 backend.")),
      field("module_source", &R::module_source, t::optional(t::_str),
            doc("Source of the spoke VPC module.")),
      field("module_name", &R::module_name, t::optional(t::_str),
            doc("Name of the spoke VPC module.")),
      field("tf_cloud", &R::tf_cloud, t::optional(t::record<TfCloudConfig>()),
            check(&R::check_tfcloud_for_none, "check_tfcloud_for_none"),
            doc("Terraform Cloud settings; when the key is given it must not be null.")),
      field("tmp_folder_id", &R::tmp_folder_id, t::optional(t::_str),
            check(&R::validate_tmp_folder_id, "validate_tmp_folder_id"),
            doc("What names the temporary folders: VPC_ID or YAML_ID.")));
}

}  // namespace tarnwick::core
