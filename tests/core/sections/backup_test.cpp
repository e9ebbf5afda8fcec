#include "tarnwick/core/sections/backup.hpp"

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(BackupConfig, KeepsTrimmedValues) {
  EXPECT_EQ(dump(build_ok<BackupConfig>(
                     "s3: {account: ' 0123 ', role_name: ' r ', name: ' b ', region: ' eu '}"))
                .dump(),
            R"({"s3":{"account":"0123","role_name":"r","name":"b","region":"eu"}})");
}

TEST(BackupConfig, Errors) {
  const std::pair<const char*, Errors> cases[] = {
      {"{}", {"s3: field required"}},
      {"{s3: null}", {"s3: none is not an allowed value"}},
      {"{s3: {account: a, name: n, region: r}}", {"s3.role_name: field required"}},
      {"{s3: {}}",
       {"s3.account: field required", "s3.role_name: field required", "s3.name: field required",
        "s3.region: field required"}},
      {"{s3: {kms: k, account: a, role_name: r, name: n, region: r}}",
       {"s3.kms: extra fields not permitted"}},
  };
  for (const auto& [yaml, expected] : cases) EXPECT_EQ(errors_of<BackupConfig>(yaml), expected);
}

}  // namespace
}  // namespace tarnwick::core
