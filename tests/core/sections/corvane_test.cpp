#include "tarnwick/core/sections/corvane.hpp"

#include <ostream>

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(CorvaneConfig, DefaultsOfTheRequiredKeysAlone) {
  EXPECT_EQ(
      dump(build_ok<CorvaneConfig>("{controller_ip: 10.1.1.1, controller_account: ' 12 '}")).dump(),
      R"({"controller_ip":"10.1.1.1","controller_account":"12",)"
      R"("ctrl_role_app":"corvane-role-app","ctrl_role_ec2":"corvane-role-ec2",)"
      R"("gateway_role_app":"corvane-role-app","gateway_role_ec2":"corvane-role-ec2",)"
      R"("tf_controller_access":{"alias":"us_west_2","mode":"ENV",)"
      R"("password_store":"cvn-admin-password","region":"us-west-2","ssm_role":"",)"
      R"("username":"admin"}})");
}

TEST(CorvaneConfig, ControllerIpAndAccount) {
  EXPECT_EQ(errors_of<CorvaneConfig>("{}"),
            (Errors{"controller_ip: field required", "controller_account: field required"}));
  const std::pair<const char*, const char*> cases[] = {
      {"10.1.1", "value is not a valid IPv4 address"},
      {"10.1.1.1/32", "value is not a valid IPv4 address"},
      {"host", "value is not a valid IPv4 address"},
      {"null", "none is not an allowed value"},
  };
  for (const auto& [ip, msg] : cases) {
    EXPECT_EQ(
        errors_of<CorvaneConfig>(std::string("{controller_account: a, controller_ip: ") + ip + "}"),
        Errors{std::string("controller_ip: ") + msg});
  }
}

struct ModeCase {
  const char* yaml;
  Errors expected;
};
void PrintTo(const ModeCase& c, std::ostream* os) {
  *os << c.yaml;
}

class CheckModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(CheckModeTest, EnvModeTakesNoOtherKey) {
  EXPECT_EQ(errors_of<TfControllerAccessConfig>(GetParam().yaml), GetParam().expected);
}

std::string removed(const char* attrs) {
  return std::string(
             "__root__: When corvane.tf_controller_access.mode is 'ENV', the following "
             "attribute(s) ") +
         attrs + " should be removed.";
}

INSTANTIATE_TEST_SUITE_P(
    Table, CheckModeTest,
    ::testing::Values(
        ModeCase{"{}", {}}, ModeCase{"{mode: ENV}", {}},
        ModeCase{"{region: eu-west-1, username: bob}", {}},
        ModeCase{"{mode: SSM, region: eu-west-1, ssm_role: r}", {}},
        ModeCase{"{region: us-west-2, mode: ENV, username: admin}",
                 {removed("{'region': 'us-west-2', 'username': 'admin'}")}},
        ModeCase{R"({mode: ENV, username: ' admin ', alias: "it's", ssm_role: 'say "hi"'})",
                 {removed(R"({'username': ' admin ', 'alias': "it's", 'ssm_role': 'say "hi"'})")}},
        // Strings as the document gives them: no escapes for tabs, line breaks or backslashes.
        ModeCase{R"({mode: ENV, alias: "a\tb", region: "x\ny", username: 'c:\d'})",
                 {removed("{'alias': 'a\tb', 'region': 'x\ny', 'username': 'c:\\d'}")}},
        // The rejection hides every other fault of the sub-section, undeclared keys included.
        ModeCase{"{mode: ENV, extra: yes, n: null, 7: 42, l: [1, a], m: {k: v}, region: [x]}",
                 {removed("{'extra': True, 'n': None, 7: 42, 'l': [1, 'a'], 'm': {'k': 'v'}, "
                          "'region': ['x']}")}},
        ModeCase{"{mode: SSM, colour: red}", {"colour: extra fields not permitted"}},
        ModeCase{"{mode: env, region: x}", {"mode: unexpected value; permitted: 'ENV', 'SSM'"}},
        ModeCase{"{mode: 'ENV ', region: x}",
                 {"mode: unexpected value; permitted: 'ENV', 'SSM'"}}));

TEST(CorvaneConfig, CheckModeIsLocatedUnderTheSubSection) {
  EXPECT_EQ(errors_of<CorvaneConfig>("{colour: red, controller_ip: 10.0.0.1, controller_account: "
                                     "a, tf_controller_access: {mode: ENV, region: x}}"),
            (Errors{"tf_controller_access." + removed("{'region': 'x'}"),
                    "colour: extra fields not permitted"}));
}

}  // namespace
}  // namespace tarnwick::core
