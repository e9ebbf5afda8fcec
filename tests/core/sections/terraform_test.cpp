#include "tarnwick/core/sections/terraform.hpp"

#include <ostream>

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

// A complete section, inside braces, that further keys can be appended to.
std::string doc(std::string_view more = "") {
  return "{terraform_output: out, terraform_version: v, corvane_provider: c, aws_provider: a" +
         std::string(more) + "}";
}

TEST(TerraformConfig, DefaultsAndModuleConstants) {
  EXPECT_EQ(TerraformConfig::DEFAULT_MODULE_SOURCE, "../module_aws_brownfield_spoke_vpc");
  EXPECT_EQ(TerraformConfig::DEFAULT_MODULE_NAME, "module_aws_brownfield_spoke_vpc");
  EXPECT_EQ(dump(build_ok<TerraformConfig>(doc())).dump(),
            R"({"terraform_output":"out","terraform_version":"v","corvane_provider":"c",)"
            R"("aws_provider":"a","enable_s3_backend":false,)"
            R"("module_source":"../module_aws_brownfield_spoke_vpc",)"
            R"("module_name":"module_aws_brownfield_spoke_vpc","tf_cloud":null,)"
            R"("tmp_folder_id":null})");
  TerraformConfig t = build_ok<TerraformConfig>(doc(", module_source: null, module_name: ''"));
  EXPECT_EQ(t.module_source, std::nullopt);
  EXPECT_EQ(t.module_name, "");
}

TEST(TerraformConfig, TfCloudIsValidatedAsItsOwnRecord) {
  TerraformConfig t = build_ok<TerraformConfig>(doc(", tf_cloud: {organization: o, tags: [a]}"));
  ASSERT_TRUE(t.tf_cloud.has_value());
  EXPECT_EQ(t.tf_cloud->tags, R"(["a"])");
}

TEST(TerraformConfig, TmpFolderId) {
  for (const char* ok : {"null", "VPC_ID", "YAML_ID", "' VPC_ID '"}) {
    EXPECT_EQ(errors_of<TerraformConfig>(doc(std::string(", tmp_folder_id: ") + ok)), Errors{})
        << ok;
  }
  for (const char* bad : {"vpc_id", "VPC", "''", "'   '"}) {
    EXPECT_EQ(errors_of<TerraformConfig>(doc(std::string(", tmp_folder_id: ") + bad)),
              Errors{R"(tmp_folder_id: Valid input for tmp_folder_id is "VPC_ID" or "YAML_ID")"})
        << bad;
  }
}

struct TfCase {
  std::string yaml;
  bool discovery_only;
  Errors expected;
};
void PrintTo(const TfCase& c, std::ostream* os) {
  *os << c.yaml << (c.discovery_only ? " (discovery only)" : "");
}

class TerraformErrorsTest : public ::testing::TestWithParam<TfCase> {};

TEST_P(TerraformErrorsTest, Table) {
  const TfCase& c = GetParam();
  EXPECT_EQ(errors_of<TerraformConfig>(c.yaml, c.discovery_only), c.expected);
}

INSTANTIATE_TEST_SUITE_P(
    Table, TerraformErrorsTest,
    ::testing::Values(
        TfCase{"{terraform_output: o}",
               false,
               {"terraform_version: missing terraform_version attribute",
                "corvane_provider: missing corvane_provider attribute",
                "aws_provider: missing aws_provider attribute"}},
        TfCase{"{terraform_output: o, terraform_version: null, corvane_provider: '', "
               "aws_provider: a}",
               false,
               {"terraform_version: missing terraform_version attribute"}},
        TfCase{"{terraform_output: o, terraform_version: null}", true, {}},
        TfCase{"{}", true, {"terraform_output: field required"}},
        TfCase{doc(", DEFAULT_MODULE_SOURCE: s, DEFAULT_MODULE_NAME: n"),
               false,
               {"DEFAULT_MODULE_SOURCE: extra fields not permitted",
                "DEFAULT_MODULE_NAME: extra fields not permitted"}},
        TfCase{doc(", tf_cloud: null"),
               false,
               {"tf_cloud: missing organization, workspace_name, tags attributes"}},
        TfCase{doc(", tf_cloud: {}"), false, {"tf_cloud.__root__: Missing organization name"}},
        TfCase{doc(", tf_cloud: {organization: o, tags: []}"),
               false,
               {"tf_cloud.tags: tags list cannot be empty"}},
        TfCase{"{colour: red, tmp_folder_id: vpc_id, enable_s3_backend: maybe, aws_provider: a}",
               false,
               {"terraform_output: field required",
                "terraform_version: missing terraform_version attribute",
                "corvane_provider: missing corvane_provider attribute",
                "enable_s3_backend: value could not be parsed to a boolean",
                R"(tmp_folder_id: Valid input for tmp_folder_id is "VPC_ID" or "YAML_ID")",
                "colour: extra fields not permitted"}}));

}  // namespace
}  // namespace tarnwick::core
