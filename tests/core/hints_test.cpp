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
