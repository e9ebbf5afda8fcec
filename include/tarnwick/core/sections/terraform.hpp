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
                                                         const FieldInfo& field);
  // A tf_cloud key must carry settings.
  static std::optional<TfCloudConfig> check_tfcloud_for_none(std::optional<TfCloudConfig> val,
                                                             const Values<TerraformConfig>& values);
  static std::optional<std::string> validate_tmp_folder_id(std::optional<std::string> val);

  static const Schema<TerraformConfig>& schema();
  friend bool operator==(const TerraformConfig&, const TerraformConfig&) = default;
};

}  // namespace tarnwick::core
