// Each rule of the cross-section check on both sides of its condition (a row with two VPCs
// shows one passing and one failing), and which rule speaks when two fail at once. Cases that
// document_test.cpp already covers are not repeated here.
#include <gtest/gtest.h>

#include "support/build_helpers.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"

namespace tarnwick::core {
namespace {

struct RuleCase {
  const char* name;
  std::string config;             // keys of the config section, flow style
  std::vector<std::string> vpcs;  // keys of VPCs vpc-1, vpc-2, ... besides their id
  std::string error;              // the check's message; empty when the document is valid
};

void PrintTo(const RuleCase& c, std::ostream* os) {
  *os << c.name;
}

// One HA account with one region holding the VPCs.
std::string document(const RuleCase& c) {
  std::string vpcs;
  for (std::size_t i = 0; i < c.vpcs.size(); ++i) {
    vpcs += (i == 0 ? "{vpc_id: vpc-" : ", {vpc_id: vpc-") + std::to_string(i + 1) + ", " +
            c.vpcs[i] + "}";
  }
  return "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2', "
         "aws_provider: '3'}\n"
         "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
         "account_info: [{account_id: '123', regions: [{region: us-east-1, vpcs: [" +
         vpcs + "]}]}]\nconfig: {" + c.config + "}\n";
}

class CheckConfigRule : public ::testing::TestWithParam<RuleCase> {};

TEST_P(CheckConfigRule, Decides) {
  const RuleCase& c = GetParam();
  std::vector<std::string> expected;
  if (!c.error.empty()) expected.push_back("config: " + c.error);
  EXPECT_EQ(testing::errors_of<DiscoveryConfiguration>(document(c)), expected) << document(c);
}

const std::string T1 = "account: 123, region: us-east-1, vpc: vpc-1";
const std::string T2 = "account: 123, region: us-east-1, vpc: vpc-2";
const std::string N = "spoke_gw_name: s, transit_gw_name: t";
const std::string One = N + ", crvn_cidr: 10.1.0.0/24";  // fits the single-CIDR mode
const std::string Hs = "configure_spoke_gw_hs: true, add_vpc_cidr: false";
const std::string Many = N + ", crvn_cidrs: [10.1.0.0/24], gw_zones: [a]";  // fits Hs
const std::string Two = N + ", crvn_cidrs: [10.1.0.0/24, 10.2.0.0/24]";

const std::string kEgress =
    "config.configure_transit_gw_egress is only available when config.configure_gw_name is True.";
const std::string kEgressNames =
    "'config.configure_transit_gw_egress' must be set to True to use vpc.transit_gw_egress_name. "
    "Nonconforming VPCs: ";
const std::string kNames =
    "'config.configure_gw_name' is True, both 'spoke_gw_name' and 'transit_gw_name' must be set "
    "in all VPCs.\nList of nonconforming VPCs:\n";
const std::string kPrefix =
    "crvn_cidr - number of bits in network mask needs to be 24 or smaller: ";
const std::string kHa = "HA mode, 2 eips is needed in 123/us-east-1/";
const std::string kEips = "The number of eips should match the number of crvn_cidrs: ";
const std::string kVpcs = " List of nonconforming VPCs: ";
const std::string kCidrs = "'config.configure_spoke_gw_hs' is True, crvn_cidrs cannot be empty.";
const std::string kZones =
    "length of gw_zones must be longer than or equal to the length of crvn_cidrs." + kVpcs;

// clang-format off
INSTANTIATE_TEST_SUITE_P(Rules, CheckConfigRule, ::testing::Values(
    RuleCase{"egress with naming", "configure_transit_gw_egress: true",
             {One + ", transit_gw_egress_name: e"}, ""},
    RuleCase{"egress without naming, no VPCs",
             "configure_transit_gw_egress: true, configure_gw_name: false", {}, kEgress},
    RuleCase{"an empty egress name is given", "", {One + ", transit_gw_egress_name: ''"},
             kEgressNames + T1},
    RuleCase{"naming off needs no names", "configure_gw_name: false",
             {"crvn_cidr: 10.1.0.0/24"}, ""},
    RuleCase{"spoke name missing", "", {One, "transit_gw_name: t, crvn_cidr: 10.1.0.0/24"},
             kNames + T2},
    RuleCase{"prefix length: /24 passes, /25 fails", Hs,
             {Many + ", crvn_cidr: 10.1.0.0/24", Many + ", crvn_cidr: 10.1.0.0/25"}, kPrefix + T2},
    RuleCase{"single-CIDR mode has no prefix length rule", "",
             {N + ", crvn_cidr: 10.1.0.0/25"}, ""},
    RuleCase{"several-CIDR mode tests allow_vpc_cidrs", Hs + ", allow_vpc_cidrs: [10.1.0.0/16]",
             {Many + ", crvn_cidr: 10.1.0.0/24", Many + ", crvn_cidr: 10.2.0.0/24"},
             "crvn_cidr is NOT in allow_vpc_cidrs list: " + T2},
    RuleCase{"HA: two eips pass, three fail", "",
             {One + ", eips: [1.1.1.1, 1.1.1.2]", One + ", eips: [1.1.1.1, 1.1.1.2, 1.1.1.3]"},
             kHa + "vpc-2"},
    RuleCase{"non-HA: no eip fails, one passes", "",
             {One + ", spoke_ha: false, eips: []", One + ", spoke_ha: false, eips: [1.1.1.1]"},
             "Non HA mode, only 1 eip is needed in 123/us-east-1/vpc-1"},
    RuleCase{"several-CIDR mode ignores HA", Hs, {Many + ", eips: [1.1.1.1]"}, ""},
    RuleCase{"one eip per crvn_cidrs", Hs,
             {Two + ", gw_zones: [a, b], eips: [1.1.1.1, 1.1.1.2]",
              Two + ", gw_zones: [a, b], eips: [1.1.1.1]"}, kEips + T2},
    RuleCase{"several-CIDR mode: empty crvn_cidrs", Hs,
             {Many, N + ", crvn_cidrs: [], eips: [1.1.1.1]"}, kCidrs + kVpcs + T2},
    RuleCase{"single-CIDR mode: crvn_cidrs beside crvn_cidr", "",
             {One, One + ", crvn_cidrs: [10.3.0.0/24]"},
             "'config.configure_spoke_gw_hs' is False, crvn_cidr must be used instead of "
             "crvn_cidrs." + kVpcs + T2},
    RuleCase{"as many zones as crvn_cidrs pass, fewer fail", Hs,
             {Two + ", gw_zones: [a, b]", Two + ", gw_zones: [a]"},
             kZones + T2},
    RuleCase{"null advertisement needs no switch", "", {One + ", spoke_advertisement: null"}, ""},
    RuleCase{"advertisement given, then empty", "configure_spoke_advertisement: true",
             {One + ", spoke_advertisement: [10.0.0.0/8]", One + ", spoke_advertisement: []"},
             "spoke_advertisement cannot be empty. Add a CIDR or remove it." + kVpcs + T2}));

// Two rules fail; the earlier one's message wins.
INSTANTIATE_TEST_SUITE_P(Priority, CheckConfigRule, ::testing::Values(
    RuleCase{"egress naming over addressing",
             "configure_transit_gw_egress: true, configure_gw_name: false",
             {"crvn_cidrs: [10.1.0.0/24]"}, kEgress},
    RuleCase{"egress names over gateway names", "",
             {"crvn_cidr: 10.1.0.0/24, transit_gw_egress_name: e"}, kEgressNames + T1},
    RuleCase{"gateway names over prefix length", Hs,
             {"transit_gw_name: t, crvn_cidrs: [10.1.0.0/24], gw_zones: [a], "
              "crvn_cidr: 10.1.0.0/25"},
             kNames + T1},
    RuleCase{"prefix length over allow_vpc_cidrs", Hs + ", allow_vpc_cidrs: [10.9.0.0/16]",
             {Many + ", crvn_cidr: 10.1.0.0/25"}, kPrefix + T1},
    RuleCase{"HA eips over crvn_cidr", "", {One + ", eips: [1.1.1.1]", N}, kHa + "vpc-1"},
    RuleCase{"eips per crvn_cidrs over empty crvn_cidrs", Hs,
             {Many + ", eips: []", N + ", crvn_cidrs: []"}, kEips + T1},
    RuleCase{"empty crvn_cidrs over zones", Hs,
             {N + ", crvn_cidrs: [10.1.0.0/24]", N + ", crvn_cidrs: []"}, kCidrs + kVpcs + T2},
    RuleCase{"zones over advertisement", Hs + ", configure_spoke_advertisement: true",
             {N + ", crvn_cidrs: [10.1.0.0/24], spoke_advertisement: []"}, kZones + T1}));
// clang-format on

// The lists repeat the account id once per VPC: up to 64 characters it is shown whole, past that
// cut.
TEST(CheckConfigAccountId, CutPast64Characters) {
  const RuleCase names{
      "spoke name missing", "", {"transit_gw_name: t, crvn_cidr: 10.1.0.0/24"}, ""};
  const std::string id64(64, '7');
  const struct {
    std::string id, shown;
  } cases[] = {{id64, id64}, {id64 + "8", id64 + "..."}};
  for (const auto& c : cases) {
    std::string doc = document(names);
    doc.replace(doc.find("'123'"), 5, "'" + c.id + "'");
    EXPECT_EQ(testing::errors_of<DiscoveryConfiguration>(doc),
              std::vector<std::string>{"config: " + kNames + "account: " + c.shown +
                                       ", region: us-east-1, vpc: vpc-1"});
  }
}

// A host's own gateway-name keys (Python's GW_NAME_KEYS, added to or replaced) are the ones
// demanded, each found through the VPC's table: a field that cannot be null is always given, and a
// key that names no field is never.
TEST(CheckConfigGwNameKeys, TheHostsKeysAreDemanded) {
  const std::string text =
      document({"names and a crvn_cidr", "", {"spoke_gw_name: s, crvn_cidr: 10.1.0.0/24"}, ""});
  const auto errors = [&](std::vector<std::string> keys) {
    LoadOptions options;
    options.gw_name_keys = &keys;
    LoadResult out = load(Source::text(text), options);
    return out.error ? testing::brief(*out.error) : std::vector<std::string>{};
  };
  const std::vector<std::string> none;
  const std::vector<std::string> vpc_1{"config: " + kNames + T1};
  EXPECT_EQ(errors({"spoke_gw_name", "transit_gw_name"}), vpc_1);
  EXPECT_EQ(errors({"spoke_gw_name"}), none);
  EXPECT_EQ(errors({"spoke_gw_name", "transit_gw_egress_name"}), vpc_1);
  EXPECT_EQ(errors({"vpc_id", "crvn_cidr", "gw_zones"}), none);
  EXPECT_EQ(errors({"no_such_key"}), vpc_1);
  EXPECT_EQ(errors({}), none);
  EXPECT_EQ(load(Source::text(text), {}).faults().size(), 1U);  // GW_NAME_KEYS by default
}

}  // namespace
}  // namespace tarnwick::core
