#include "tarnwick/core/sections/account_info.hpp"

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"

namespace tarnwick::core {
namespace {

using testing::build_fails;
using testing::build_ok;
using testing::errors_of;
using Errors = std::vector<std::string>;

TEST(AccountInfo, DefaultsOfAnAccountWithOnlyItsIdAndRegions) {
  AccountInfo a = build_ok<AccountInfo>("account_id: ' 000123456789 '\nregions: []\n");
  EXPECT_EQ(a.account_id, "000123456789");
  EXPECT_EQ(a.account_name, "");
  EXPECT_TRUE(a.regions.empty());
  EXPECT_TRUE(a.hpe);
  EXPECT_FALSE(a.managed_tgw);
  EXPECT_TRUE(a.filter_cidrs.empty());
  EXPECT_EQ(a.spoke_gw_size, "t3.micro");
  EXPECT_EQ(a.role_name, "corvane-role-app");
  EXPECT_FALSE(a.add_account || a.onboard_account || a.enable_spoke_egress);
  EXPECT_EQ(a.max_hpe_performance, std::nullopt);
  EXPECT_EQ(a.spoke_ha, true);
}

TEST(VPCConfig, DefaultsOfAVpcWithOnlyItsId) {
  VPCConfig v = build_ok<VPCConfig>("vpc_id: vpc-1\n");
  EXPECT_EQ(dump(v).dump(),
            R"({"vpc_id":"vpc-1","crvn_cidr":null,"crvn_cidrs":null,"gw_zones":[],"eips":null,)"
            R"("spoke_gw_tags":[],"domain":null,"encrypt":null,"encrypt_key":null,)"
            R"("inspection":null,"spoke_advertisement":null,"spoke_routes":null,)"
            R"("spoke_gw_name":null,"transit_gw_name":null,"transit_gw_egress_name":null,)"
            R"("enable_spoke_egress":null,"spoke_gw_size":null,"hpe":null,)"
            R"("max_hpe_performance":null,"spoke_ha":null,"retain_peerings":[],)"
            R"("retain_peering_cidrs":["0.0.0.0/0"],"customized_single_ip_snat":false,)"
            R"("az_affinity":false})");
  VPCConfig w = build_ok<VPCConfig>("vpc_id: vpc-2\n");
  v.retain_peering_cidrs.clear();
  EXPECT_EQ(w.retain_peering_cidrs.size(), 1u);  // no shared default list
}

TEST(VPCConfig, KeepsEveryGivenValue) {
  VPCConfig v = build_ok<VPCConfig>(R"(
vpc_id: ' vpc-0a1 '
crvn_cidr: 10.200.1.0/24
crvn_cidrs: [10.1.0.0/24, 10.2.0.0/24]
gw_zones: [a, ' b ']
eips: [54.10.1.1, 54.10.1.2]
spoke_gw_tags:
  - {Name: ' spoke ', env: prod}
  - {}
encrypt: true
encrypt_key: ' alias/key '
retain_peerings: [' pcx-1 ']
spoke_ha: no
az_affinity: null
)");
  EXPECT_EQ(v.vpc_id, "vpc-0a1");
  EXPECT_EQ(v.crvn_cidr->str(), "10.200.1.0/24");
  EXPECT_EQ(v.crvn_cidrs->size(), 2u);
  EXPECT_EQ(v.gw_zones, (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(v.eips->at(1).str(), "54.10.1.2");
  ASSERT_EQ(v.spoke_gw_tags.size(), 2u);
  EXPECT_EQ(*v.spoke_gw_tags[0].find("Name"), " spoke ");  // tag text is not trimmed
  EXPECT_TRUE(v.spoke_gw_tags[1].empty());
  EXPECT_EQ(v.encrypt_key, "alias/key");
  EXPECT_EQ(v.retain_peerings, (std::vector<std::string>{" pcx-1 "}));
  EXPECT_EQ(v.spoke_ha, false);
  EXPECT_EQ(v.az_affinity, std::nullopt);
}

struct EncryptCase {
  const char* vpc;
  bool discovery_only;
  Errors expected;
};

void PrintTo(const EncryptCase& c, std::ostream* os) {
  *os << c.vpc << (c.discovery_only ? " (discovery-only)" : "");
}

class EncryptKeyTest : public ::testing::TestWithParam<EncryptCase> {};

TEST_P(EncryptKeyTest, NeedsEncryptionOn) {
  const EncryptCase& c = GetParam();
  EXPECT_EQ(errors_of<VPCConfig>(c.vpc, c.discovery_only), c.expected) << c.vpc;
}

const char* kNeedsEncrypt = "encrypt_key: encrypt must be True to set encrypt_key";

INSTANTIATE_TEST_SUITE_P(
    Table, EncryptKeyTest,
    ::testing::Values(
        EncryptCase{"{vpc_id: v, encrypt: true, encrypt_key: k}", false, {}},
        EncryptCase{"{vpc_id: v, encrypt: false, encrypt_key: k}", false, {kNeedsEncrypt}},
        EncryptCase{"{vpc_id: v, encrypt_key: k}", false, {kNeedsEncrypt}},
        EncryptCase{"{vpc_id: v, encrypt: null, encrypt_key: k}", false, {kNeedsEncrypt}},
        EncryptCase{"{vpc_id: v, encrypt: false, encrypt_key: null}", false, {}},
        EncryptCase{"{vpc_id: v, encrypt: false, encrypt_key: '  '}", false, {kNeedsEncrypt}},
        EncryptCase{"{vpc_id: v, encrypt: perhaps, encrypt_key: k}",
                    false,
                    {"encrypt: value could not be parsed to a boolean", kNeedsEncrypt}},
        EncryptCase{"{vpc_id: v, encrypt: perhaps, encrypt_key: k}",
                    true,
                    {"encrypt: value could not be parsed to a boolean"}},
        EncryptCase{"{vpc_id: v, encrypt: false, encrypt_key: k}", true, {}},
        EncryptCase{"{vpc_id: v, encrypt_key: k}", true, {}}));

TEST(AccountInfo, ListsEveryFaultInFieldOrderThenUndeclaredKeys) {
  const char* text = R"(account_id: 12345-678
colour: blue
regions:
  - region: US-EAST-1
    vpcs:
      - vpc_id: vpc-1
        spoke_gw_name: 123456789012345678901234567890123456789012345678901
        eips: [1.2.3]
        hpe: perhaps
        shape: round
      - {vpc_id: [x], crvn_cidr: 10.0.0.1/24}
  - {region: eu-west-1}
hpe: null
filter_cidrs: 10.0.0.0/8
)";
  core::ValidationError e = build_fails<AccountInfo>(text);
  std::vector<std::string> where;
  for (const auto& d : e.errors()) {
    where.push_back(loc_text(d.loc) + " @" + std::to_string(d.mark.line) + ":" +
                    std::to_string(d.mark.column) + " " + d.type);
  }
  EXPECT_EQ(where, (Errors{
                       "account_id @1:13 value_error.str.regex",
                       "regions.0.region @4:13 value_error.const",
                       "regions.0.vpcs.0.eips.0 @8:16 value_error.ipv4address",
                       "regions.0.vpcs.0.spoke_gw_name @7:24 value_error.any_str.max_length",
                       "regions.0.vpcs.0.hpe @9:14 type_error.bool",
                       "regions.0.vpcs.0.shape @10:9 value_error.extra",
                       "regions.0.vpcs.1.vpc_id @11:18 type_error.str",
                       "regions.0.vpcs.1.crvn_cidr @11:34 value_error.ipv4network",
                       "regions.1.vpcs @12:5 value_error.missing",
                       "hpe @13:6 type_error.none.not_allowed",
                       "filter_cidrs @14:15 type_error.list",
                       "colour @2:1 value_error.extra",
                   }));
}

TEST(Region, AcceptsExactlyTheListedNames) {
  for (std::string_view name : REGION_NAMES) {
    EXPECT_EQ(errors_of<Region>("{region: " + std::string(name) + ", vpcs: []}"), Errors{});
  }
  for (const char* bad : {"US-EAST-1", "useast1", "me-south-1", "' us-east-1'", "1"}) {
    Errors got = errors_of<Region>(std::string("{region: ") + bad + ", vpcs: []}");
    ASSERT_EQ(got.size(), 1u) << bad;
    EXPECT_TRUE(got[0].starts_with("region: unexpected value; permitted: 'af-south-1', "))
        << got[0];
  }
}

TEST(VPCConfig, SameIdTwiceInARegionIsAccepted) {
  Region r = build_ok<Region>("region: us-east-1\nvpcs: [{vpc_id: v}, {vpc_id: v}]\n");
  EXPECT_EQ(r.vpcs.size(), 2u);
}

}  // namespace
}  // namespace tarnwick::core
