// The `aws` section: where the generated account folder is backed up (S3 only).
#pragma once

#include <string>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

struct BackupConfig : BaseModel {
  // The bucket that receives the Terraform output files.
  struct S3Config : BaseModel {
    std::string account;
    std::string role_name;
    std::string name;
    std::string region;

    static constexpr auto fields();
    friend bool operator==(const S3Config&, const S3Config&) = default;
  };

  S3Config s3;

  static constexpr auto fields();
  friend bool operator==(const BackupConfig&, const BackupConfig&) = default;
};

constexpr auto BackupConfig::S3Config::fields() {
  using R = BackupConfig::S3Config;
  namespace t = types;
  return table<R>(
      "BackupConfig.S3Config", "The bucket that receives the backup.",
      field("account", &R::account, t::_str, required, doc("AWS account that owns the bucket.")),
      field("role_name", &R::role_name, t::_str, required,
            doc("IAM role that writes to the bucket.")),
      field("name", &R::name, t::_str, required, doc("Name of the bucket.")),
      field("region", &R::region, t::_str, required, doc("Region of the bucket.")));
}

constexpr auto BackupConfig::fields() {
  using R = BackupConfig;
  namespace t = types;
  return table<R>("BackupConfig", "The `aws` section: where the account folder is backed up.",
                  field("s3", &R::s3, t::record<R::S3Config>(), required,
                        doc("The S3 bucket that receives the backups.")));
}

}  // namespace tarnwick::core
