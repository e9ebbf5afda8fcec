#include "tarnwick/core/sections/scope.hpp"

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(Scope, DefaultsOfEmptyMappings) {
  EXPECT_EQ(dump(build_ok<AlertConfig>("{}")).dump(),
            R"({"expect_dest_cidrs":["0.0.0.0/0"],"expect_vpc_prefixes":["0.0.0.0/0"],)"
            R"("check_gateway_existence":true})");
  EXPECT_EQ(dump(build_ok<SwitchTrafficConfig>("{}")).dump(), R"({"delete_tgw_route_delay":"5"})");
  EXPECT_EQ(dump(build_ok<CleanupConfig>("{}")).dump(),
            R"({"vpc_cidrs":[],"resources":[],"report_only":false})");
  EXPECT_EQ(dump(build_ok<TGWConfig>("{tgw_account: a, tgw_role: r}")).dump(),
            R"({"tgw_account":"a","tgw_role":"r","tgw_by_region":{}})");
}

TEST(TGWConfig, KeepsRegionOrderAndTrims) {
  TGWConfig t = build_ok<TGWConfig>(
      "tgw_account: ' 123 '\ntgw_role: r\ntgw_by_region:\n  us-west-2: ' tgw-2 '\n"
      "  eu-west-1: tgw-1\n");
  EXPECT_EQ(dump(t).dump(), R"({"tgw_account":"123","tgw_role":"r",)"
                            R"("tgw_by_region":{"us-west-2":"tgw-2","eu-west-1":"tgw-1"}})");
}

std::string permitted_regions() {
  std::string out = "unexpected value; permitted: ";
  for (std::string_view r : REGION_NAMES) {
    out += (r == REGION_NAMES.front() ? "'" : ", '") + std::string(r) + "'";
  }
  return out;
}

TEST(TGWConfig, Errors) {
  const std::pair<const char*, Errors> cases[] = {
      {"{}", {"tgw_account: field required", "tgw_role: field required"}},
      {"{tgw_account: a, tgw_role: r, tgw_by_region: {us-east-7: t, US-EAST-1: t}}",
       {"tgw_by_region.us-east-7.__key__: " + permitted_regions(),
        "tgw_by_region.US-EAST-1.__key__: " + permitted_regions()}},
      {"{tgw_account: a, tgw_role: r, tgw_by_region: {us-east-1: [t], eu-west-1: null}}",
       {"tgw_by_region.us-east-1: str type expected",
        "tgw_by_region.eu-west-1: none is not an allowed value"}},
      {"{tgw_account: a, tgw_role: r, tgw_by_region: null}",
       {"tgw_by_region: none is not an allowed value"}},
  };
  for (const auto& [yaml, expected] : cases) EXPECT_EQ(errors_of<TGWConfig>(yaml), expected);
}

TEST(CleanupConfig, ResourcesAreExactNamesRepeatsKept) {
  const std::string permitted =
      "unexpected value; permitted: 'INTERNAL_LB', 'NAT', 'TGW_ATTACHMENT', 'VGW', 'PEERING'";
  EXPECT_EQ(errors_of<CleanupConfig>("resources: [TGW, PEERING, nat]"),
            (Errors{"resources.0: " + permitted, "resources.2: " + permitted}));
  EXPECT_EQ(build_ok<CleanupConfig>("resources: [PEERING, VGW, PEERING]").resources,
            (std::vector<std::string>{"PEERING", "VGW", "PEERING"}));
}

TEST(SwitchTrafficConfig, DelayKeepsTheTextAsWritten) {
  const std::pair<const char*, const char*> cases[] = {
      {"10", "10"}, {"010", "010"}, {"1.50", "1.50"}, {"' 7 '", "7"}};
  for (const auto& [given, stored] : cases) {
    EXPECT_EQ(build_ok<SwitchTrafficConfig>(std::string("delete_tgw_route_delay: ") + given)
                  .delete_tgw_route_delay,
              stored);
  }
}

}  // namespace
}  // namespace tarnwick::core
