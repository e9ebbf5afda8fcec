// Hints beside faults: the functions that make them, and the faults of documents that carry them.
#include "tarnwick/core/hints.hpp"

#include <gtest/gtest.h>

#include "support/build_helpers.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::core {
namespace {

TEST(Hints, NameWhatWasProbablyMeant) {
  const std::string longest(64, 'k');  // the longest key still compared
  const std::array<std::string_view, 7> keys{
      "terraform_version", "terraform_output", "id", "aws_provider", "eip", "tags", longest};
  const std::string near_longest = longest.substr(1) + "j", too_long = longest + "j";
  const struct {
    std::string_view given;
    std::string expected;
  } cases[] = {
      {"terraform_versoin", "did you mean `terraform_version`?"},  // swapped neighbours
      {"Terraform_Version", "did you mean `terraform_version`?"},  // letter case
      {"terraform_outptu", "did you mean `terraform_output`?"},
      {"aws_provder", "did you mean `aws_provider`?"},
      {"ib", "did you mean `id`?"},
      {"xy", ""},    // as far from "id" as a short key can be
      {"xyid", ""},  // within a four-letter key's two edits, but all of "id" replaced
      {"eix", "did you mean `eip`?"},    // three letters: one edit allowed ...
      {"exx", ""},                       // ... not two
      {"taxx", "did you mean `tags`?"},  // four letters: two
      {near_longest, "did you mean `" + longest + "`?"},
      {too_long, ""},
      {"terraform", ""},
      {"completely_other", ""},
      {std::string_view("terraform_version_and_a_great_deal_more_text_after_it_all_the_way"), ""},
  };
  for (const auto& c : cases) EXPECT_EQ(hints::closest(c.given, keys), c.expected) << c.given;
  EXPECT_EQ(hints::edit_distance("abcd", "acbd"), 1U);
  EXPECT_EQ(hints::edit_distance("", "abc"), 3U);
}

// One closest choice is a fix; a few tied ones are only named; many tied ones say nothing.
TEST(Hints, TiedChoicesAreNamedWithoutAFix) {
  const std::array<std::string_view, 6> choices{"us-east-1", "us-east-2", "us-west-1",
                                                "us-west-2", "eu-west-1", "NAT"};
  const struct {
    std::string_view given;
    std::string hint;
    std::string_view fix;
  } cases[] = {
      {"us-eastt-1", "did you mean `us-east-1`?", "us-east-1"},
      {" Us-East-2 ", "did you mean `us-east-2`?", "us-east-2"},  // case and padding first
      {"us-east-3", "did you mean `us-east-1` or `us-east-2`?", ""},
      {"us-wets-3", "did you mean `us-west-1` or `us-west-2`?", ""},  // swap plus one edit
      {"eu-east-3", "did you mean `us-east-1`, `us-east-2` or `eu-west-1`?", ""},
      {"us-wast-3", "", ""},  // four tied: a guess
      {"nta", "did you mean `NAT`?", "NAT"},
      {"zzz", "", ""},
  };
  for (const auto& c : cases) {
    const hints::Meant meant = hints::meant_choice(c.given, choices);
    EXPECT_EQ(meant.hint, c.hint) << c.given;
    EXPECT_EQ(meant.fix, c.fix) << c.given;
  }
  const std::array<std::string_view, 3> keys{"crvn_cidr", "crvn_cidrs", "domain"};
  EXPECT_EQ(hints::closest_candidates("crvn_cidrx", keys),
            (std::vector<std::string_view>{"crvn_cidr", "crvn_cidrs"}));
  EXPECT_EQ(hints::closest_candidate("crvn_cidrx", keys), "crvn_cidr");  // the first, for a word
  EXPECT_EQ(hints::meant_key("domian", keys).fix, "domain");
}

TEST(Hints, ZoneNamesItsRegion) {
  const std::array<std::string_view, 3> regions{"us-east-1", "eu-west-1", "ap-south-1"};
  const struct {
    std::string_view given;
    std::string_view region;
  } cases[] = {
      {"us-east-1a", "us-east-1"}, {"EU-WEST-1C", "eu-west-1"}, {" ap-south-1b ", "ap-south-1"},
      {"us-east-1", ""},           {"us-east-11", ""},          {"us-east-1ab", ""},
      {"us-eastt-1a", ""},         {"us-east-1 a", ""},         {"a", ""},
      {"us-east-1-", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hints::zone_for_region(c.given, regions).fix, c.region) << c.given;
  }
  EXPECT_EQ(hints::zone_for_region("us-east-1a", regions).hint,
            "`us-east-1a` is an availability zone of `us-east-1`; a region is wanted");
}

// The list written back must read as the same value inside [ ]; a comma separates items.
TEST(Hints, FlowListKeepsTheValue) {
  const std::string long_text(201, 'a'), longest(200, 'a');
  const struct {
    std::string_view text;
    bool plain;
    std::string expected;
  } cases[] = {
      {"172.16.0.0/12", true, "[172.16.0.0/12]"},
      {"a,b", true, "[a, b]"},
      {"54.20.1.10, 54.20.1.11", true, "[54.20.1.10, 54.20.1.11]"},
      {" x , y]", false, "[\"x\", \"y]\"]"},
      {"a,,b", true, ""},
      {"a,", true, ""},
      {"x]", true, "[\"x]\"]"},
      {"{x}", false, "[\"{x}\"]"},
      {"k: v", true, "[\"k: v\"]"},
      {"v #c", true, "[\"v #c\"]"},
      {"tail:", true, "[\"tail:\"]"},
      {"say \"hi\"\n", false, "[\"say \\\"hi\\\"\\n\"]"},
      {"vpc-1", false, "[\"vpc-1\"]"},  // quoted stays a string
      {"", true, "[\"\"]"},
      {longest, true, "[" + longest + "]"},
      {long_text, true, ""},
      {"caf\xc3", false, ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(hints::flow_list(c.text, c.plain), c.expected) << c.text;
  }
}

TEST(Hints, SayWhyAnAddressOrNetworkIsWrong) {
  const struct {
    bool network;
    std::string_view text;
    std::string expected;
  } cases[] = {
      {true, "10.0.0.0/33", "prefix length 33 is over 32"},
      {true, "10.0.0.0/0040", "prefix length 40 is over 32"},
      {true, "10.0.256.0/24", "octet 256 is over 255"},
      {true, "10.0.0.0.0/8", "it has 5 octets; an address has 4"},
      {true, "10.0/16", "it has 2 octets; an address has 4"},
      {true, "10.0.0.0/", "the prefix length after `/` is missing"},
      {true, "10.0.0.0/8/8", "it has more than one `/`"},
      {true, "10.0.0.0/x", "`x` is not a prefix length"},
      {true, "10.0.0.0/255.0.255.0", "mask 255.0.255.0 is neither a netmask nor a hostmask"},
      {true, "10.01.0.0/16", "octet 01 has a leading zero"},
      {false, "10.0.0.1/32", "an address takes no `/` prefix length"},
      {false, "10.a.0.1", "octet `a` is not a decimal number"},
      {false, "10..0.1", "an octet is empty"},
      {false, "10.0.0.1 ", "it holds a blank"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(c.network ? hints::ipv4_network_problem(c.text) : hints::ipv4_address_problem(c.text),
              c.expected)
        << c.text;
  }
}

// "loc: hint" for every fault that has a hint, in a document that has its required sections.
std::vector<std::string> hints_of(std::string_view text) {
  std::string doc(text);
  if (!text.starts_with("account_info:")) doc += "\naccount_info: []";
  if (text.find("terraform:") == std::string_view::npos)
    doc += "\nterraform: {terraform_output: x}";
  std::vector<std::string> out;
  const ValidationError error = testing::build_fails<DiscoveryConfiguration>(doc, true);
  for (const ErrorDetail& e : error.errors()) {
    if (!e.hint.empty()) out.push_back(loc_text(e.loc) + ": " + e.hint);
  }
  return out;
}

TEST(Hints, TravelWithTheFaultsOfADocument) {
  using H = std::vector<std::string>;
  const struct {
    std::string_view text;
    H expected;
  } cases[] = {
      {"terraform: {terraform_output: x, terraform_versoin: '1'}",
       {"terraform.terraform_versoin: did you mean `terraform_version`?"}},
      {"account_info: [{account_id: '1', regions: [{region: US-EAST-1, vpcs: []}]}]",
       {"account_info.0.regions.0.region: did you mean `us-east-1`?"}},
      {"cleanup: {resources: [nat]}", {"cleanup.resources.0: did you mean `NAT`?"}},
      {"corvane: {controller_ip: 10.0.0.1, controller_account: '1',\n"
       "  tf_controller_access: {mode: env}}",
       {"corvane.tf_controller_access.mode: did you mean `ENV`?"}},
      {"config: {allow_vpc_cidrs: [10.0.0.0/33]}",
       {"config.allow_vpc_cidrs.0: prefix length 33 is over 32"}},
      {"corvane: {controller_ip: 10.0.0.256, controller_account: '1'}",
       {"corvane.controller_ip: octet 256 is over 255"}},
      {"corvane: {controller_account: '1'}",
       {"corvane.controller_ip: `corvane` needs `controller_ip` and `controller_account`"}},
      {"account_info: [{regions: []}]",
       {"account_info.0.account_id: `AccountInfo` needs `account_id` and `regions`"}},
      {"account_info: [{account_id: '1', regions: []}]\nterraform: {}",
       {"terraform.terraform_output: `terraform` needs `terraform_output`"}},
      {"terraform: {terraform_output: x, tf_cloud: {workspace_name: w}}",
       {"terraform.tf_cloud.__root__: `tf_cloud` needs `organization` plus `workspace_name` or "
        "`tags`"}},
      // A choice misspelt, or a zone for its region.
      {"account_info: [{account_id: '1', regions: [{region: eu-westt-1, vpcs: []},\n"
       "  {region: us-east-1a, vpcs: []}, {region: us-east-3, vpcs: []}]}]",
       {"account_info.0.regions.0.region: did you mean `eu-west-1`?",
        "account_info.0.regions.1.region: `us-east-1a` is an availability zone of `us-east-1`; a "
        "region is wanted",
        "account_info.0.regions.2.region: did you mean `us-east-1` or `us-east-2`?"}},
      {"cleanup: {resources: [TGW_ATACHMENT, NATS]}",
       {"cleanup.resources.0: did you mean `TGW_ATTACHMENT`?",
        "cleanup.resources.1: did you mean `NAT`?"}},
      {"corvane: {controller_ip: 10.0.0.1, controller_account: '1',\n"
       "  tf_controller_access: {mode: SMS}}",
       {"corvane.tf_controller_access.mode: did you mean `SSM`?"}},
      {"tgw: {tgw_account: '1', tgw_role: r, tgw_by_region: {eu-westt-1: t}}",
       {"tgw.tgw_by_region.eu-westt-1.__key__: did you mean `eu-west-1`?"}},
      // One value where a list is wanted.
      {"account_info: [{account_id: '1', filter_cidrs: 172.16.0.0/12, regions: [\n"
       "  {region: us-east-1, vpcs: {vpc_id: v}},\n"
       "  {region: us-east-2, vpcs: [{vpc_id: w, retain_peerings: 'a, b', spoke_gw_tags: {}}]}]}]",
       {"account_info.0.regions.0.vpcs: write a list: make this mapping its one item (`- ` before "
        "`vpc_id`)",
        "account_info.0.regions.1.vpcs.0.retain_peerings: write a list: [\"a\", \"b\"]",
        "account_info.0.filter_cidrs: write a list: [172.16.0.0/12]"}},
      {"account_info: [{account_id: '1', regions: {other: 1}}]", {}},  // no key of a region
      {"config: {allow_vpc_cidrs: !!binary YQ==}", {}},
      // A key written at the wrong level, a near miss of a missing key.
      {"account_info: [{account_id: '1', vpc_id: v, regions: [{region: us-east-1,\n"
       "  crvn_cidr: 10.0.0.0/24, vpcs: [{vpc_idd: v, account_name: n}]}]}]",
       {"account_info.0.regions.0.vpcs.0.vpc_id: `vpc_idd` was written; did you mean `vpc_id`?",
        "account_info.0.regions.0.vpcs.0.vpc_idd: did you mean `vpc_id`?",
        "account_info.0.regions.0.vpcs.0.account_name: `account_name` is a key of an account "
        "(account_info.N)",
        "account_info.0.regions.0.crvn_cidr: `crvn_cidr` is a key of a VPC "
        "(account_info.N.regions.N.vpcs.N)",
        "account_info.0.vpc_id: `vpc_id` is a key of a VPC (account_info.N.regions.N.vpcs.N)"}},
      {"controller_ip: 10.0.0.1\nterraform: {terraform_output: x, controller_account: a}",
       {"terraform.controller_account: `controller_account` is a key of `corvane`",
        "controller_ip: `controller_ip` is a key of `corvane`"}},
      // Three levels away (a region's key in `config`) is no longer a likely slip.
      {"config: {snat_policies: [{}], vpcs: []}", {}},
      {"config: {new_src_ip: 10.0.0.1}",
       {"config.new_src_ip: `new_src_ip` is a key of an item of `config.snat_policies` "
        "(config.snat_policies.N)"}},
      {"config: {snat_policies: [{src_ip: 10.0.0.0/8, migrate_natgw_eip: true}]}",
       {"config.snat_policies.0.migrate_natgw_eip: `migrate_natgw_eip` is a key of `config`"}},
      // A near miss of a key given already is that key twice, never a rename to a farther key;
      // one four levels away is no place.
      {"account_info: [{account_id: '1', regions: [{region: us-east-1, vpcs: [{vpc_id: v,\n"
       "  vpc_idd: w, spoke_gw_name: a, spoke_gw_nme: b, terraform_output: x}]}]}]",
       {"account_info.0.regions.0.vpcs.0.vpc_idd: `vpc_id` is written too (line 1): this looks "
        "like the same key under another spelling; keep one",
        "account_info.0.regions.0.vpcs.0.spoke_gw_nme: `spoke_gw_name` is written too (line 2): "
        "this looks like the same key under another spelling; keep one"}},
  };
  for (const auto& c : cases) EXPECT_EQ(hints_of(c.text), c.expected) << c.text;

  const std::string long_name(60, 'g');
  const std::string doc =
      "account_info: [{account_id: '1', regions: [{region: "
      "us-east-1, vpcs: [{vpc_id: v, spoke_gw_name: " +
      long_name + "}]}]}]";
  EXPECT_EQ(hints_of(doc),
            H{"account_info.0.regions.0.vpcs.0.spoke_gw_name: it has 60 characters"});

  const ValidationError top = testing::build_fails<DiscoveryConfiguration>("account_info: []");
  EXPECT_EQ(top.errors().at(0).hint, "the document needs `terraform` and `account_info`");
}

// What an editor may write in place of the faulty key or value.
TEST(Hints, NameTheReplacementWhenItIsClear) {
  const struct {
    std::string_view text;
    std::string loc, fix, title;
  } cases[] = {
      {"terraform: {terraform_output: x, terraform_versoin: '1'}", "terraform.terraform_versoin",
       "terraform_version", "Rename the key to `terraform_version`"},
      {"account_info: [{account_id: '1', regions: [{region: US-EAST-1, vpcs: []}]}]",
       "account_info.0.regions.0.region", "us-east-1", "Change to `us-east-1`"},
      {"config: {allow_vpc_cidrs: [10.0.0.1/8]}", "config.allow_vpc_cidrs.0", "10.0.0.0/8",
       "Change to `10.0.0.0/8`"},
      {"config: {allow_vpc_cidrs: [10.0.0.0/33]}", "config.allow_vpc_cidrs.0", "", ""},
      {"account_info: [{account_id: '1', regions: [{region: eu-westt-1, vpcs: []}]}]",
       "account_info.0.regions.0.region", "eu-west-1", "Change to `eu-west-1`"},
      {"account_info: [{account_id: '1', regions: [{region: us-east-1b, vpcs: []}]}]",
       "account_info.0.regions.0.region", "us-east-1", "Change to `us-east-1`"},
      {"account_info: [{account_id: '1', regions: [{region: us-east-3, vpcs: []}]}]",
       "account_info.0.regions.0.region", "", ""},
      {"account_info: [{account_id: '1', filter_cidrs: 172.16.0.0/12, regions: []}]",
       "account_info.0.filter_cidrs", "[172.16.0.0/12]", "Change to `[172.16.0.0/12]`"},
      {"account_info: [{account_id: '1', regions: {region: us-east-1}}]",
       "account_info.0.regions", "", ""},
      {"account_info: [{account_id: '1', regions: [{region: us-east-1, vpcs: [\n"
       "  {vpc_idd: v}, {vpc_id: v, vpc_idd: w}, {vpc_id: v, crvn_cidrx: 1}]}]}]",
       "account_info.0.regions.0.vpcs.0.vpc_idd", "vpc_id", "Rename the key to `vpc_id`"},
      // Renaming onto a key already there would write it twice; two keys as near are a guess.
      {"account_info: [{account_id: '1', regions: [{region: us-east-1, vpcs: [\n"
       "  {vpc_id: v, vpc_idd: w}]}]}]",
       "account_info.0.regions.0.vpcs.0.vpc_idd", "", ""},
      {"account_info: [{account_id: '1', regions: [{region: us-east-1, vpcs: [\n"
       "  {vpc_id: v, crvn_cidrx: 1}]}]}]",
       "account_info.0.regions.0.vpcs.0.crvn_cidrx", "", ""},
  };
  for (const auto& c : cases) {
    const ValidationError e = testing::build_fails<DiscoveryConfiguration>(c.text);
    std::string found = "(no fault)", title;
    for (const ErrorDetail& d : e.errors()) {
      if (loc_text(d.loc) != c.loc) continue;
      found = d.fix ? d.fix->text : "";
      title = d.fix ? d.fix->title : "";
    }
    EXPECT_EQ(found, c.fix) << c.text;
    EXPECT_EQ(title, c.title) << c.text;
  }
}

}  // namespace
}  // namespace tarnwick::core
