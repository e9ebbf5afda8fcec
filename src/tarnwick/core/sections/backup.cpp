#include "tarnwick/core/sections/backup.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<BackupConfig::S3Config>& BackupConfig::S3Config::schema() {
  using R = BackupConfig::S3Config;
  static const Schema<R> schema{
      "BackupConfig.S3Config",
      {
          {"account", &R::account, t::_str, required, doc("AWS account that owns the bucket.")},
          {"role_name", &R::role_name, t::_str, required,
           doc("IAM role that writes to the bucket.")},
          {"name", &R::name, t::_str, required, doc("Name of the bucket.")},
          {"region", &R::region, t::_str, required, doc("Region of the bucket.")},
      }};
  return schema;
}

const Schema<BackupConfig>& BackupConfig::schema() {
  using R = BackupConfig;
  static const Schema<R> schema{"BackupConfig",
                                {
                                    {"s3", &R::s3, t::record<R::S3Config>(), required,
                                     doc("The S3 bucket that receives the backups.")},
                                }};
  return schema;
}

}  // namespace tarnwick::core
