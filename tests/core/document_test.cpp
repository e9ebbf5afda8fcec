// The whole document: section presence, the cross-section checks and their precedence, built
// from one base document changed a little per case.
#include <gtest/gtest.h>

#include "support/build_helpers.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/yaml/from_json.hpp"

namespace tarnwick::core {
namespace {

using Errors = std::vector<std::string>;
using J = nlohmann::ordered_json;

// A valid document in both modes: two accounts, three VPCs, every section.
const char* kBase = R"({
  "id": "vpc_migration",
  "terraform": {"terraform_output": "/out", "terraform_version": "1", "corvane_provider": "2",
                "aws_provider": "3"},
  "corvane": {"controller_ip": "10.0.0.1", "controller_account": "111"},
  "account_info": [
    {"account_id": "123", "spoke_ha": true, "regions": [
      {"region": "us-east-1", "vpcs": [
        {"vpc_id": "vpc-1", "crvn_cidr": "10.1.0.0/24", "eips": ["1.1.1.1", "1.1.1.2"],
         "spoke_gw_name": "s1", "transit_gw_name": "t1"},
        {"vpc_id": "vpc-2", "crvn_cidr": "10.2.0.0/24",
         "spoke_gw_name": "s2", "transit_gw_name": "t2"}]}]},
    {"account_id": "456", "spoke_ha": false, "regions": [
      {"region": "eu-west-1", "vpcs": [
        {"vpc_id": "vpc-3", "crvn_cidr": "10.3.0.0/24", "eips": ["3.3.3.3"],
         "spoke_gw_name": "s3", "transit_gw_name": "t3"}]}]}],
  "config": {"allow_vpc_cidrs": ["10.0.0.0/8"], "configure_spoke_advertisement": true},
  "cleanup": {"resources": ["PEERING"]},
  "tgw": {"tgw_account": "999", "tgw_role": "r"}
})";

// One change to the base: set the value at a JSON pointer, or remove it (value "-").
struct Patch {
  std::string pointer;
  std::string value;
};

struct DocCase {
  const char* name;
  std::vector<Patch> patches;
  Errors migration;       // errors outside discovery-only mode
  Errors discovery = {};  // errors in discovery-only mode
};

void PrintTo(const DocCase& c, std::ostream* os) {
  *os << c.name;
}

J patched(const std::vector<Patch>& patches) {
  J doc = J::parse(kBase);
  for (const Patch& p : patches) {
    J::json_pointer ptr(p.pointer);
    if (p.value == "-") {
      doc[ptr.parent_pointer()].erase(ptr.back());
    } else {
      doc[ptr] = J::parse(p.value);
    }
  }
  return doc;
}

Errors errors_of(const J& json, bool discovery_only) {
  yaml::Document doc = yaml::document_from_json(json);
  try {
    build_document(doc.root(), discovery_only);
  } catch (const ValidationError& e) {
    return testing::brief(e);
  }
  return {};
}

class DocumentTest : public ::testing::TestWithParam<DocCase> {};

TEST_P(DocumentTest, Reports) {
  const DocCase& c = GetParam();
  const J doc = patched(c.patches);
  EXPECT_EQ(errors_of(doc, false), c.migration) << "migration mode";
  EXPECT_EQ(errors_of(doc, true), c.discovery) << "discovery-only mode";
}

const std::string kTriple1 = "account: 123, region: us-east-1, vpc: vpc-1";
const std::string kTriple2 = "account: 123, region: us-east-1, vpc: vpc-2";
const std::string kTriple3 = "account: 456, region: eu-west-1, vpc: vpc-3";
const char* kVpc1 = "/account_info/0/regions/0/vpcs/0";

std::string at1(const char* key) {
  return std::string(kVpc1) + "/" + key;
}

INSTANTIATE_TEST_SUITE_P(
    Table, DocumentTest,
    ::testing::Values(
        DocCase{"base", {}, {}},
        // Presence of sections.
        DocCase{"corvane absent", {{"/corvane", "-"}}, {"corvane: missing corvane"}},
        DocCase{"corvane null", {{"/corvane", "null"}}, {"corvane: missing corvane"}},
        DocCase{"tgw absent", {{"/tgw", "-"}}, {}},
        DocCase{"tgw null",
                {{"/tgw", "null"}},
                {"tgw: missing tgw_account, tgw_role and tgw_by_region attributes"},
                {"tgw: missing tgw_account, tgw_role and tgw_by_region attributes"}},
        DocCase{"tgw empty",
                {{"/tgw", "{}"}},
                {"tgw.tgw_account: field required", "tgw.tgw_role: field required"},
                {"tgw.tgw_account: field required", "tgw.tgw_role: field required"}},
        DocCase{"required sections and an undeclared key",
                {{"/terraform", "-"}, {"/account_info", "-"}, {"/vpcs", "[]"}},
                {"terraform: field required", "account_info: field required",
                 "vpcs: extra fields not permitted"},
                {"terraform: field required", "account_info: field required",
                 "vpcs: extra fields not permitted"}},
        DocCase{"alert null is not optional",
                {{"/alert", "null"}},
                {"alert: none is not an allowed value"},
                {"alert: none is not an allowed value"}},
        DocCase{
            "document checks in field order",
            {{"/id", "\"x\""},
             {"/corvane", "-"},
             {"/config/configure_transit_gw_egress", "true"},
             {"/config/configure_gw_name", "false"},
             {"/cleanup/resources", "[\"NAT\"]"},
             {"/tgw", "null"}},
            {"id: id must be one of ['vpc_migration', 'vpc_discovery']", "corvane: missing corvane",
             "config: config.configure_transit_gw_egress is only available when "
             "config.configure_gw_name is True.",
             "tgw: missing tgw_account, tgw_role and tgw_by_region attributes"},
            {"id: id must be one of ['vpc_migration', 'vpc_discovery']",
             "tgw: missing tgw_account, tgw_role and tgw_by_region attributes"}},
        // Peering cleanup needs gateway naming.
        DocCase{"peering without naming",
                {{"/config/configure_gw_name", "false"}},
                {"cleanup: Delete 'PEERING' is only supported when config.configure_gw_name is "
                 "set to True."}},
        DocCase{"peering without a config section", {{"/config", "-"}}, {}},
        DocCase{"peering after a rejected config",
                {{"/config/configure_gw_name", "false"},
                 {"/config/configure_transit_gw_egress", "true"}},
                {"config: config.configure_transit_gw_egress is only available when "
                 "config.configure_gw_name is True."}},
        DocCase{"config absent: no cross-section checks",
                {{"/config", "-"}, {at1("crvn_cidr"), "null"}, {at1("eips"), "[]"}},
                {}},
        DocCase{"config runs without a failed account_info",
                {{"/account_info/0/hpe", "\"maybe\""},
                 {"/config/configure_gw_name", "false"},
                 {"/config/configure_transit_gw_egress", "true"}},
                {"account_info.0.hpe: value could not be parsed to a boolean",
                 "config: config.configure_transit_gw_egress is only available when "
                 "config.configure_gw_name is True."},
                {"account_info.0.hpe: value could not be parsed to a boolean"}},
        // Egress and naming.
        DocCase{"egress names need egress",
                {{at1("transit_gw_egress_name"), "\"e\""},
                 {"/account_info/1/regions/0/vpcs/0/transit_gw_egress_name", "\"e\""}},
                {"config: 'config.configure_transit_gw_egress' must be set to True to use "
                 "vpc.transit_gw_egress_name. Nonconforming VPCs: " +
                 kTriple1 + "\n" + kTriple3}},
        DocCase{"egress null allows egress names",
                {{"/config/configure_transit_gw_egress", "null"},
                 {at1("transit_gw_egress_name"), "\"e\""}},
                {}},
        DocCase{"names where naming is on",
                {{at1("transit_gw_name"), "null"},
                 {"/account_info/0/regions/0/vpcs/1/spoke_gw_name", "\"\""},
                 {"/account_info/1/regions/0/vpcs/0/spoke_gw_name", "-"},
                 {"/account_info/1/regions/0/vpcs/0/transit_gw_name", "-"}},
                {"config: 'config.configure_gw_name' is True, both 'spoke_gw_name' and "
                 "'transit_gw_name' must be set in all VPCs.\nList of nonconforming VPCs:\n" +
                 kTriple1 + "\n" + kTriple3}},
        // Single-CIDR gateway mode.
        DocCase{"HA flag from the VPC, then from the account",
                {{at1("spoke_ha"), "false"},
                 {"/account_info/0/regions/0/vpcs/1/eips", "[\"2.2.2.2\"]"}},
                {"config: Non HA mode, only 1 eip is needed in 123/us-east-1/vpc-1; HA mode, 2 "
                 "eips is needed in 123/us-east-1/vpc-2"}},
        DocCase{
            "crvn_cidr outside the allowed list",
            {{"/config/allow_vpc_cidrs", "[\"10.1.0.0/16\"]"}},
            {"config: crvn_cidr is NOT in allow_vpc_cidrs list: " + kTriple2 + "; " + kTriple3}},
        DocCase{"add_vpc_cidr off skips the allowed list",
                {{"/config/allow_vpc_cidrs", "[]"}, {"/config/add_vpc_cidr", "false"}},
                {}},
        DocCase{"single mode needs crvn_cidr and no crvn_cidrs",
                {{at1("crvn_cidr"), "-"}, {"/account_info/1/regions/0/vpcs/0/crvn_cidrs", "[]"}},
                {"config: 'config.configure_spoke_gw_hs' is False, crvn_cidr must be used instead "
                 "of crvn_cidrs. List of nonconforming VPCs: " +
                 kTriple1 + "; " + kTriple3}},
        DocCase{"gateway mode null reads as None",
                {{"/config/configure_spoke_gw_hs", "null"}, {at1("crvn_cidr"), "-"}},
                {"config: 'config.configure_spoke_gw_hs' is None, crvn_cidr must be used instead "
                 "of crvn_cidrs. List of nonconforming VPCs: " +
                 kTriple1}},
        DocCase{
            "allowed-list finding before eips finding",
            {{"/config/allow_vpc_cidrs", "[\"10.3.0.0/16\"]"}, {at1("eips"), "[]"}},
            {"config: crvn_cidr is NOT in allow_vpc_cidrs list: " + kTriple1 + "; " + kTriple2}},
        // Several-CIDR gateway mode.
        DocCase{"several-CIDR mode: prefix length before everything",
                {{"/config/configure_spoke_gw_hs", "true"},
                 {"/config/add_vpc_cidr", "false"},
                 {at1("crvn_cidr"), "\"10.1.0.0/25\""},
                 {"/account_info/0/regions/0/vpcs/1/crvn_cidr", "\"11.0.0.0/28\""}},
                {"config: crvn_cidr - number of bits in network mask needs to be 24 or smaller: " +
                 kTriple1 + "; " + kTriple2}},
        DocCase{"several-CIDR mode: crvn_cidrs needed",
                {{"/config/configure_spoke_gw_hs", "true"},
                 {"/config/add_vpc_cidr", "false"},
                 {at1("crvn_cidrs"), "[\"10.9.0.0/24\"]"},
                 {at1("gw_zones"), "[\"a\"]"},
                 {at1("eips"), "[\"1.1.1.1\"]"}},
                {"config: 'config.configure_spoke_gw_hs' is True, crvn_cidrs cannot be empty. "
                 "List of nonconforming VPCs: " +
                 kTriple2 + "; " + kTriple3}},
        DocCase{"several-CIDR mode: zones and eips per crvn_cidrs",
                {{"/config/configure_spoke_gw_hs", "true"},
                 {"/config/add_vpc_cidr", "false"},
                 {at1("crvn_cidrs"), "[\"10.9.0.0/24\", \"10.9.1.0/24\", \"10.9.2.0/24\"]"},
                 {at1("gw_zones"), "[\"a\", \"b\"]"},
                 {"/account_info/0/regions/0/vpcs/1/crvn_cidrs", "[\"10.8.0.0/24\"]"},
                 {"/account_info/0/regions/0/vpcs/1/gw_zones", "[\"a\"]"},
                 {"/account_info/0/regions/0/vpcs/1/eips", "[\"2.2.2.2\", \"2.2.2.3\"]"},
                 {"/account_info/1/regions/0/vpcs/0/crvn_cidrs", "[\"10.7.0.0/24\"]"},
                 {"/account_info/1/regions/0/vpcs/0/gw_zones", "[\"a\"]"}},
                {"config: The number of eips should match the number of crvn_cidrs: " + kTriple2}},
        DocCase{"several-CIDR mode: zones reported last",
                {{"/config/configure_spoke_gw_hs", "true"},
                 {"/config/add_vpc_cidr", "false"},
                 {at1("crvn_cidrs"), "[\"10.9.0.0/24\", \"10.9.1.0/24\"]"},
                 {"/account_info/0/regions/0/vpcs/1/crvn_cidrs", "[\"10.8.0.0/24\"]"},
                 {"/account_info/0/regions/0/vpcs/1/gw_zones", "[\"a\"]"},
                 {"/account_info/1/regions/0/vpcs/0/crvn_cidrs", "[\"10.7.0.0/24\"]"},
                 {"/account_info/1/regions/0/vpcs/0/gw_zones", "[\"a\"]"}},
                {"config: length of gw_zones must be longer than or equal to the length of "
                 "crvn_cidrs. List of nonconforming VPCs: " +
                 kTriple1}},
        // Spoke advertisement.
        DocCase{"advertisement must not be empty",
                {{at1("spoke_advertisement"), "[]"},
                 {"/account_info/1/regions/0/vpcs/0/spoke_advertisement", "[]"}},
                {"config: spoke_advertisement cannot be empty. Add a CIDR or remove it. List of "
                 "nonconforming VPCs: " +
                 kTriple1 + "; " + kTriple3}},
        DocCase{"advertisement needs the switch",
                {{"/config/configure_spoke_advertisement", "false"},
                 {at1("spoke_advertisement"), "[]"},
                 {"/account_info/1/regions/0/vpcs/0/spoke_advertisement", "[\"10.0.0.0/8\"]"}},
                {"config: configure_spoke_advertisement in config section must be set to True to "
                 "use spoke_advertisement. "}},
        DocCase{"advertisement only after addressing",
                {{"/config/configure_spoke_advertisement", "false"},
                 {at1("spoke_advertisement"), "[\"10.0.0.0/8\"]"},
                 {at1("eips"), "[]"}},
                {"config: HA mode, 2 eips is needed in 123/us-east-1/vpc-1"}}));

TEST(DocumentRecord, MinimalDocumentHoldsEveryDefault) {
  J doc = patched(
      {{"/id", "-"}, {"/corvane", "-"}, {"/config", "-"}, {"/cleanup", "-"}, {"/tgw", "-"}});
  doc["terraform"] = J::parse(R"({"terraform_output": "/out"})");
  yaml::Document d = yaml::document_from_json(doc);
  DiscoveryConfiguration c = build_document(d.root(), true);
  const J dumped = dump_to_dict(c);
  EXPECT_TRUE(dumped["id"].is_null() && dumped["label"].is_null() && dumped["corvane"].is_null() &&
              dumped["aws"].is_null());
  EXPECT_EQ(dumped["tgw"], J::object());
  EXPECT_FALSE(c.tgw.has_value());
  EXPECT_EQ(dumped["alert"]["expect_dest_cidrs"], J::parse(R"(["0.0.0.0/0"])"));
  EXPECT_EQ(c.config, ScriptConfig{});
  EXPECT_EQ(c.switch_traffic.delete_tgw_route_delay, "5");

  EXPECT_EQ(errors_of(doc, false),
            (Errors{"terraform.terraform_version: missing terraform_version attribute",
                    "terraform.corvane_provider: missing corvane_provider attribute",
                    "terraform.aws_provider: missing aws_provider attribute",
                    "corvane: missing corvane"}));
}

TEST(DocumentRecord, IsExpectedVpcPrefix) {
  auto nets = [](std::initializer_list<const char*> texts) {
    CIDRList out;
    for (const char* t : texts) out.push_back(*IPv4Network::parse(t).network);
    return out;
  };
  using DC = DiscoveryConfiguration;
  EXPECT_TRUE(DC::isExpectedVpcPrefix("10.1.2.0/24", nets({"10.0.0.0/8"})));
  EXPECT_FALSE(DC::isExpectedVpcPrefix("10.1.0.0/16", nets({"10.1.0.0/24"})));
  EXPECT_TRUE(DC::isExpectedVpcPrefix("10.1.0.0/16", nets({"192.168.0.0/16", "10.1.0.0/16"})));
  EXPECT_TRUE(DC::isExpectedVpcPrefix("172.16.5.0/24", nets({"0.0.0.0/0"})));
  EXPECT_FALSE(DC::isExpectedVpcPrefix("10.1.0.0/16", CIDRList{}));
  EXPECT_THROW(DC::isExpectedVpcPrefix("10.1.0.1/16", nets({"0.0.0.0/0"})), std::invalid_argument);
  EXPECT_THROW(DC::isExpectedVpcPrefix("not a network", nets({"0.0.0.0/0"})),
               std::invalid_argument);
}

TEST(DocumentRecord, AbsentKeysOfASectionAreShownAtTheSectionsKey) {
  const ValidationError e = testing::build_fails<DiscoveryConfiguration>(
      "account_info: []\nterraform:\n  enable_s3_backend: false\n", false);
  std::vector<std::string> where;
  for (const ErrorDetail& d : e.errors()) {
    where.push_back(loc_text(d.loc) + " @" + std::to_string(d.mark.line) + ":" +
                    std::to_string(d.mark.column));
  }
  EXPECT_EQ(where, (Errors{"terraform.terraform_output @2:1", "terraform.terraform_version @2:1",
                           "terraform.corvane_provider @2:1", "terraform.aws_provider @2:1",
                           "corvane @1:1"}));
}

TEST(DocumentRecord, TopLevelKeyThatIsNotAStringIsAnUndeclaredKey) {
  yaml::Document doc =
      yaml::read_string("terraform: {terraform_output: o}\naccount_info: []\n1: x\n");
  try {
    build_document(doc.root(), true);
    ADD_FAILURE() << "expected a validation error";
  } catch (const ValidationError& e) {
    EXPECT_EQ(testing::brief(e), (Errors{"1: extra fields not permitted"}));
    EXPECT_EQ(e.errors()[0].mark, (yaml::Mark{3, 1}));
  }
}

}  // namespace
}  // namespace tarnwick::core
