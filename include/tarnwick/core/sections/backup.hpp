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

    static const Schema<S3Config>& schema();
    friend bool operator==(const S3Config&, const S3Config&) = default;
  };

  S3Config s3;

  static const Schema<BackupConfig>& schema();
  friend bool operator==(const BackupConfig&, const BackupConfig&) = default;
};

}  // namespace tarnwick::core
