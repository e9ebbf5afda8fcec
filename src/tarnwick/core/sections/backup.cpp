#include "tarnwick/core/sections/backup.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<BackupConfig::S3Config>& BackupConfig::S3Config::schema() {
  using R = BackupConfig::S3Config;
  static const Schema<R> schema{"BackupConfig.S3Config",
                                {
                                    {"account", &R::account, t::_str, required},
                                    {"role_name", &R::role_name, t::_str, required},
                                    {"name", &R::name, t::_str, required},
                                    {"region", &R::region, t::_str, required},
                                }};
  return schema;
}

const Schema<BackupConfig>& BackupConfig::schema() {
  using R = BackupConfig;
  static const Schema<R> schema{"BackupConfig",
                                {
                                    {"s3", &R::s3, t::record<R::S3Config>(), required},
                                }};
  return schema;
}

}  // namespace tarnwick::core
