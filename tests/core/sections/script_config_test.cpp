#include "tarnwick/core/sections/script_config.hpp"

#include <ostream>

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(ScriptConfig, DefaultsOfAnEmptyMapping) {
  EXPECT_EQ(dump(build_ok<ScriptConfig>("{}")).dump(),
            R"({"add_vpc_cidr":true,"allow_vpc_cidrs":["0.0.0.0/0"],"configure_gw_name":true,)"
            R"("configure_spoke_advertisement":false,"configure_transit_gw_egress":false,)"
            R"("configure_gw_lb_ep":false,"configure_spoke_gw_hs":false,)"
            R"("enable_spoke_egress":false,"filter_tgw_attachment_subnet":false,)"
            R"("filter_vgw_routes":true,"filter_tgw_routes":true,"route_table_tags":[],)"
            R"("subnet_tags":[],"snat_policies":null,"import_resources":true,)"
            R"("migrate_natgw_eip":false})");
}

struct HsCase {
  const char* yaml;
  Errors expected;
};
void PrintTo(const HsCase& c, std::ostream* os) {
  *os << c.yaml;
}

class SpokeGwHsTest : public ::testing::TestWithParam<HsCase> {};

TEST_P(SpokeGwHsTest, NeedsGwNameOnAndVpcCidrOff) {
  EXPECT_EQ(errors_of<ScriptConfig>(GetParam().yaml), GetParam().expected);
}

const char* kGwName =
    "configure_spoke_gw_hs: To enable configure_spoke_gw_hs, configure_gw_name must be set to True";
const char* kAddCidr =
    "configure_spoke_gw_hs: To enable configure_spoke_gw_hs, add_vpc_cidr must be set to False";

// hs is written first throughout: the check still sees the keys that follow it.
INSTANTIATE_TEST_SUITE_P(
    Table, SpokeGwHsTest,
    ::testing::Values(
        HsCase{"{configure_spoke_gw_hs: false, configure_gw_name: false}", {}},
        HsCase{"{configure_spoke_gw_hs: null, configure_gw_name: false}", {}},
        HsCase{"{configure_spoke_gw_hs: true, add_vpc_cidr: false}", {}},
        HsCase{"{add_vpc_cidr: false, configure_spoke_gw_hs: true, configure_gw_name: true}", {}},
        HsCase{"{configure_spoke_gw_hs: true}", {kAddCidr}},
        HsCase{"{configure_spoke_gw_hs: true, add_vpc_cidr: true}", {kAddCidr}},
        HsCase{"{configure_spoke_gw_hs: true, add_vpc_cidr: false, configure_gw_name: false}",
               {kGwName}},
        HsCase{"{configure_spoke_gw_hs: true, configure_gw_name: false}", {kGwName}},
        HsCase{"{configure_spoke_gw_hs: true, configure_gw_name: maybe}",
               {"configure_gw_name: value could not be parsed to a boolean", kAddCidr}},
        HsCase{"{configure_spoke_gw_hs: true, add_vpc_cidr: maybe}",
               {"add_vpc_cidr: value could not be parsed to a boolean"}}));

TEST(SnatPolicies, EntriesNullAndEmptyList) {
  ScriptConfig c = build_ok<ScriptConfig>(
      "snat_policies:\n  - {}\n  - {src_ip: ' 10.0.0.1 ', connection: c, protocol: ' tcp '}\n");
  EXPECT_EQ(dump(c)["snat_policies"].dump(),
            R"([{"src_ip":null,"connection":null,"new_src_ip":null,"protocol":"all"},)"
            R"({"src_ip":"10.0.0.1","connection":"c","new_src_ip":null,"protocol":"tcp"}])");

  EXPECT_EQ(build_ok<ScriptConfig>("snat_policies: []").snat_policies,
            std::vector<SnatPoliciesConfig>{});
  EXPECT_EQ(build_ok<ScriptConfig>("snat_policies: null").snat_policies, std::nullopt);
}

TEST(SnatPolicies, RejectsUndeclaredKeysAndNullProtocol) {
  EXPECT_EQ(errors_of<ScriptConfig>("snat_policies: [{src_ip: a}, {port: 80, protocol: null}]"),
            (Errors{"snat_policies.1.protocol: none is not an allowed value",
                    "snat_policies.1.port: extra fields not permitted"}));
}

}  // namespace
}  // namespace tarnwick::core
