// `tarnwick-config diff OLD NEW` as a process: documents compared as loaded records, VPCs
// matched by id wherever they are, lists compared as sets only where order means nothing.
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/edited_example.hpp"
#include "support/run_tool.hpp"

namespace {

namespace fs = std::filesystem;
using J = nlohmann::ordered_json;
using tarnwick::testing::Outcome;
using tarnwick::testing::slurp;
using tarnwick::testing::Edits;
using tarnwick::testing::edited;
using tarnwick::testing::TempFile;

const std::string& kFull = tarnwick::testing::full_example();

// OLD and NEW made from examples/full.yaml by the edits, compared.
Outcome diff(const Edits& old_edits, const Edits& new_edits, const std::string& options = "") {
  const TempFile before(edited(kFull, old_edits), "diff-old.yaml");
  const TempFile after(edited(kFull, new_edits), "diff-new.yaml");
  return tarnwick::testing::run_tool(
      TARNWICK_CONFIG_BIN, "diff " + options + " " + before.quoted() + " " + after.quoted());
}

bool has(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

const std::string kMovedVpc =
    "          - vpc_id: vpc-0b99c00d11e22f302\n"
    "            crvn_cidr: 100.64.11.0/24\n"
    "            spoke_gw_name: data-usw2-spoke-2\n"
    "            transit_gw_name: data-usw2-transit\n";
const std::string kEuRegion = "      - region: eu-west-1\n";
const std::string kTag = "    - {migrated-by: tarnwick}\n";
const std::string kNewVpc =
    "          - vpc_id: vpc-0new\n"
    "            crvn_cidr: 10.220.3.0/24\n"
    "            spoke_gw_name: new-spoke\n"
    "            transit_gw_name: new-transit\n";
// The VPC taken from account 2's us-west-2 to account 1's us-east-1, and renamed.
const Edits kMove = {{kMovedVpc, ""},
                     {kEuRegion, edited(kMovedVpc, {{"spoke-2", "spoke-9"}}) + kEuRegion}};

// `n` VPCs of one id, each with a gateway name of its own (spoke-0, spoke-1...), one name then
// replaced: more than a sort keeps in order without being asked to (when the two documents'
// ids differ elsewhere too, so that an unstable sort would not reorder both alike).
std::string many_copies(int n, const std::string& from, const std::string& to) {
  std::string out;
  for (int i = 0; i < n; ++i) {
    const std::string name = "spoke-" + std::to_string(i);
    out += edited(kNewVpc, {{"new-spoke", name == from ? to : name},
                            {"10.220.3.0", "10.220." + std::to_string(100 + i) + ".0"}});
  }
  return out;
}

struct Case {
  const char* name;
  Edits new_edits;
  int status;
  std::vector<std::string> lines = {};  // each a whole line of the text output
  Edits old_edits = {};
};

const Case kCases[] = {
    {"equal once typed and defaulted",
     {{"encrypt: true", "encrypt: yes"},
      {"crvn_cidr: 10.220.1.0/24", "crvn_cidr:   10.220.1.0/24  "},
      {"onboard_account: true", "onboard_account: true\n    add_account: false"},
      {"delete_tgw_route_delay: \"10\"", "delete_tgw_route_delay: 10"}},
     0,
     {"no differences"}},
    {"sets in another order",
     {{"gw_zones: [a, b]", "gw_zones: [b, a, b]"},
      {"eips: [54.20.1.10, 54.20.1.11]", "eips: [54.20.1.11, 54.20.1.10]"},
      {"resources: [NAT, VGW, PEERING]", "resources: [PEERING, NAT, VGW]"},
      {"expect_dest_cidrs: [10.0.0.0/8, 100.64.0.0/10]",
       "expect_dest_cidrs: [100.64.0.0/10, 10.0.0.0/8]"}},
     0,
     {"no differences"}},
    {"a list in another order",
     {{kTag, "    - {wave: w3}\n" + kTag}},
     1,
     {"sections:",
      "  ~ config.route_table_tags: [{\"migrated-by\":\"tarnwick\"},{\"wave\":\"w3\"}] → "
      "[{\"wave\":\"w3\"},{\"migrated-by\":\"tarnwick\"}]",
      "0 VPCs added, 0 removed, 0 moved, 0 changed; config: 1 change"},
     {{kTag, kTag + "    - {wave: w3}\n"}}},
    {"a set that changed",
     {{"gw_zones: [a, b]", "gw_zones: [a, c]"}},
     1,
     {"account 310000000001, region us-east-1:",
      "  ~ vpc-0a11b22c33d44e501 gw_zones: [\"a\",\"b\"] → [\"a\",\"c\"]",
      "0 VPCs added, 0 removed, 0 moved, 1 changed"}},
    {"a VPC added",
     {{kEuRegion, kNewVpc + kEuRegion}},
     1,
     {"account 310000000001, region us-east-1:", "  + vpc-0new",
      "1 VPC added, 0 removed, 0 moved, 0 changed"}},
    {"a VPC removed",
     {{kMovedVpc, ""}},
     1,
     {"account 310000000002, region us-west-2:", "  - vpc-0b99c00d11e22f302",
      "0 VPCs added, 1 removed, 0 moved, 0 changed"}},
    {"a VPC moved to another account, and changed",
     kMove,
     1,
     {"account 310000000001, region us-east-1:",
      "  → vpc-0b99c00d11e22f302 (from account 310000000002, region us-west-2)",
      "  ~ vpc-0b99c00d11e22f302 spoke_gw_name: \"data-usw2-spoke-2\" → \"data-usw2-spoke-9\"",
      "0 VPCs added, 0 removed, 1 moved, 0 changed"}},
    {"a default written in NEW with another value",
     {{"crvn_cidr: 10.220.2.0/24", "crvn_cidr: 10.220.2.0/24\n            az_affinity: true"}},
     1,
     {"  ~ vpc-0a11b22c33d44e502 az_affinity: false → true"}},
    {"a section's field, and one only OLD gives",
     {{"delete_tgw_route_delay: \"10\"", "delete_tgw_route_delay: \"20\""},
      {"    us-west-2: tgw-00aa11bb22cc33dd4\n", ""}},
     1,
     {"  ~ switch_traffic.delete_tgw_route_delay: \"10\" → \"20\"",
      "  ~ tgw.tgw_by_region.us-west-2: \"tgw-00aa11bb22cc33dd4\" → null",
      "0 VPCs added, 0 removed, 0 moved, 0 changed; switch_traffic: 1 change; tgw: 1 change"}},
    {"an account's field, an account removed",
     {{"account_name: retail", "account_name: shop"},
      {kFull.substr(
           kFull.find("  - account_id: \"310000000002\""),
           kFull.find("\n# Raise alerts") - kFull.find("  - account_id: \"310000000002\"")),
       ""}},
     1,
     {"accounts:", "  - account 310000000002",
      "  ~ account 310000000001 account_name: \"retail\" → \"shop\"",
      "  - account 310000000002, region us-west-2",
      "0 VPCs added, 2 removed, 0 moved, 0 changed; accounts: 0 added, 1 removed, 1 changed; "
      "regions: 0 added, 1 removed"}},
    {"a key only NEW gives",
     {{"    us-west-2: tgw-00aa11bb22cc33dd4\n",
       "    us-west-2: tgw-00aa11bb22cc33dd4\n    us-west-1: tgw-0new\n"}},
     1,
     {"  ~ tgw.tgw_by_region.us-west-1: null → \"tgw-0new\""}},
    {"the same VPC id twice in OLD: one removed",
     {},
     1,
     {"account 310000000001, region us-east-1:", "  - vpc-0a11b22c33d44e501",
      "0 VPCs added, 1 removed, 0 moved, 0 changed"},
     {{kEuRegion, edited(kNewVpc, {{"vpc-0new", "vpc-0a11b22c33d44e501"}}) + kEuRegion}}},
    {"the same VPC id twice: each kept",
     {{kEuRegion, edited(kNewVpc, {{"vpc-0new", "vpc-0a11b22c33d44e501"}}) + kEuRegion}},
     1,
     {"  + vpc-0a11b22c33d44e501"}},
    {"an account added",
     {{"  - account_id: \"310000000002\"\n",
       "  - account_id: \"310000000003\"\n    regions:\n      - region: ap-south-1\n"
       "        vpcs:\n" +
           kNewVpc + "  - account_id: \"310000000002\"\n"}},
     1,
     {"  + account 310000000003", "  + account 310000000003, region ap-south-1",
      "account 310000000003, region ap-south-1:", "  + vpc-0new",
      "1 VPC added, 0 removed, 0 moved, 0 changed; accounts: 1 added, 0 removed, 0 changed; "
      "regions: 1 added, 0 removed"}},
    {"an id written many times: the k-th with the k-th",
     {{kEuRegion, many_copies(40, "spoke-19", "spoke-x") + kEuRegion}, {kMovedVpc, ""}},
     1,
     {"  ~ vpc-0new spoke_gw_name: \"spoke-19\" → \"spoke-x\"",
      "0 VPCs added, 1 removed, 0 moved, 1 changed"},
     {{kEuRegion, many_copies(40, "", "") + kEuRegion}}},
    {"a region renamed moves its VPCs",
     {{"region: eu-west-1", "region: eu-north-1"}},
     1,
     {"  + account 310000000001, region eu-north-1", "  - account 310000000001, region eu-west-1",
      "  → vpc-0e55f66a77b88c901 (from account 310000000001, region eu-west-1)"}},
};

TEST(Diff, ComparesLoadedRecords) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const Outcome r = diff(c.old_edits, c.new_edits);
    EXPECT_EQ(r.status, c.status) << r.err << r.out;
    EXPECT_EQ(r.err, "");
    for (const std::string& line : c.lines) {
      EXPECT_TRUE(has("\n" + r.out, "\n" + line + "\n")) << line << "\n---\n" << r.out;
    }
  }
}

// A document that fails the check stops the comparison, said in one line naming which one.
TEST(Diff, ADocumentThatFailsTheCheckIsAFault) {
  const struct {
    const char* name;
    Edits old_edits, new_edits;
    std::vector<std::string> says;
  } cases[] = {
      {"host bits in NEW",
       {},
       {{"crvn_cidr: 10.220.1.0/24", "crvn_cidr: 10.220.1.5/24"}},
       {"tarnwick-config: error: NEW: ", "diff-new.yaml:40:", "account_info.0.regions.0.vpcs.0"}},
      {"two faults in OLD",
       {{"crvn_cidr: 10.220.1.0/24", "crvn_cidr: 10.220.1.5/24"},
        {"crvn_cidr: 10.220.2.0/24", "crvn_cidr: 10.220.2.5/24"}},
       {},
       {"tarnwick-config: error: OLD: ", "diff-old.yaml:40:", "(and 1 more fault)"}},
      {"malformed YAML",
       {},
       {{"tgw_role: tgw-admin", "tgw_role: [tgw-admin"}},
       {"tarnwick-config: error: NEW: "}},
      {"not a mapping", {{kFull, "- a\n"}}, {}, {"tarnwick-config: error: OLD: "}},
      {"both: OLD is said", {{kFull, "- a\n"}}, {{kFull, "- b\n"}}, {"error: OLD: "}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Outcome r = diff(c.old_edits, c.new_edits);
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
    for (const std::string& part : c.says) EXPECT_TRUE(has(r.err, part)) << part << "\n" << r.err;
  }
}

// The mode comment decides, as check's: a discovery-only document needs no controller section.
TEST(Diff, ModeCommentAndFlagAreHonoured) {
  const Edits discovery = {{kFull.substr(kFull.find("corvane:\n"),
                                         kFull.find("account_info:") - kFull.find("corvane:\n")),
                            ""}};
  EXPECT_EQ(diff({}, discovery).status, 2);
  EXPECT_EQ(diff({}, discovery, "--discovery-only").status, 1);
  Edits commented = discovery;
  commented.push_back({"# A migration", "# tarnwick-config: discovery-only\n# A migration"});
  EXPECT_EQ(diff({}, commented).status, 1);
}

TEST(Diff, JsonShape) {
  Edits edits = kMove;
  edits.push_back({"gw_zones: [a, b]", "gw_zones: [a]"});
  edits.push_back({"resources: [NAT, VGW, PEERING]", "resources: [NAT]"});
  const Outcome r = diff({}, edits, "--format json");
  ASSERT_EQ(r.status, 1) << r.err;
  const J j = J::parse(r.out);
  EXPECT_EQ(j.at("equal"), false);
  const J& vpcs = j.at("vpcs");
  EXPECT_EQ(vpcs.at("added"), J::array());
  EXPECT_EQ(vpcs.at("removed"), J::array());
  ASSERT_EQ(vpcs.at("moved").size(), 1U);
  EXPECT_EQ(vpcs.at("moved")[0], J::parse(R"({"vpc_id": "vpc-0b99c00d11e22f302",
      "from": {"account_id": "310000000002", "region": "us-west-2"},
      "to": {"account_id": "310000000001", "region": "us-east-1"},
      "changes": [{"path": "spoke_gw_name", "old": "data-usw2-spoke-2",
                   "new": "data-usw2-spoke-9"}]})"));
  ASSERT_EQ(vpcs.at("changed").size(), 1U);
  EXPECT_EQ(vpcs.at("changed")[0].at("changes")[0],
            J::parse(R"({"path": "gw_zones", "old": ["a", "b"], "new": ["a"]})"));
  EXPECT_EQ(j.at("sections"), J::parse(R"([{"path": "cleanup.resources",
      "old": ["NAT", "VGW", "PEERING"], "new": ["NAT"]}])"));
  EXPECT_EQ(j.at("accounts"), J::parse(R"({"added": [], "removed": [], "changed": []})"));
  EXPECT_EQ(j.at("regions"), J::parse(R"({"added": [], "removed": []})"));
  // Added and removed VPCs carry their whole value, for tools that apply the difference.
  const Outcome added = diff({{kMovedVpc, ""}}, {}, "--format json");
  const J value = J::parse(added.out).at("vpcs").at("added")[0];
  EXPECT_EQ(value.at("to").at("region"), "us-west-2");
  EXPECT_EQ(value.at("value").at("crvn_cidr"), "100.64.11.0/24");
  EXPECT_EQ(value.at("value").at("az_affinity"), false);
}

// Git's seven arguments (PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE): status 0 when
// the documents differ, as Git stops at any other.
TEST(Diff, GitExternalDiffArguments) {
  const TempFile before(kFull, "git-old.yaml");
  const TempFile after(edited(kFull, {{"gw_zones: [a, b]", "gw_zones: [a]"}}), "git-new.yaml");
  const auto git = [](const std::string& old_file, const std::string& new_file) {
    return tarnwick::testing::run_tool(
        TARNWICK_CONFIG_BIN,
        "diff wave.yaml " + old_file + " 1111 100644 " + new_file + " 2222 100644");
  };
  const Outcome changed = git(before.quoted(), after.quoted());
  EXPECT_EQ(changed.status, 0) << changed.err;
  EXPECT_TRUE(
      changed.out.starts_with("tarnwick-config diff wave.yaml\naccount 310000000001, "
                              "region us-east-1:\n  ~ vpc-0a11b22c33d44e501 gw_zones:"))
      << changed.out;
  const Outcome added = git("/dev/null", after.quoted());
  EXPECT_EQ(added.status, 0);
  EXPECT_EQ(added.out, "tarnwick-config diff wave.yaml: a new document\n");
  EXPECT_EQ(git(before.quoted(), "/dev/null").out,
            "tarnwick-config diff wave.yaml: document deleted\n");
  const Outcome broken = git(before.quoted(), "/nonexistent.yaml");
  EXPECT_EQ(broken.status, 2);
  const Outcome three = tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, "diff a b c");
  EXPECT_EQ(three.status, 2);
  EXPECT_TRUE(has(three.err, "seven arguments")) << three.err;
}

// Notices at NEW's lines: a changed key's own, a key NEW leaves out at its record, what NEW no
// longer holds at the file.
TEST(Diff, GithubNoticesAtNewsLines) {
  const Outcome r = diff({},
                         {{"gw_zones: [a, b]", "gw_zones: [a]"},
                          {"            encrypt_key: alias/retail-spoke\n", ""},
                          {kMovedVpc, ""},
                          {"delete_tgw_route_delay: \"10\"", "delete_tgw_route_delay: \"20\""}},
                         "--format github");
  ASSERT_EQ(r.status, 1) << r.err;
  const std::string file =
      "::notice file=" +
      (fs::temp_directory_path() / (std::to_string(::getpid()) + "-diff-new.yaml")).string();
  EXPECT_EQ(r.out,
            file + ",line=41::vpc-0a11b22c33d44e501 gw_zones: [\"a\",\"b\"] → [\"a\"]\n" + file +
                ",line=39::vpc-0a11b22c33d44e501 encrypt_key: \"alias/retail-spoke\" → null\n" +
                file +
                ",line=67::VPC vpc-0b99c00d11e22f302 removed (account 310000000002, region "
                "us-west-2)\n" +
                file + ",line=97::switch_traffic.delete_tgw_route_delay: \"10\" → \"20\"\n" + file +
                "::0 VPCs added, 1 removed, 0 moved, 1 changed; switch_traffic: 1 change\n");
}

// What NEW lacks is placed at the nearest record NEW still has: a region's account, else the
// account list (its first item).
TEST(Diff, GithubNoticesForAccountsAndRegions) {
  const std::string account2 = kFull.substr(
      kFull.find("  - account_id: \"310000000002\""),
      kFull.find("\n# Raise alerts") - kFull.find("  - account_id: \"310000000002\""));
  const std::string out = diff({},
                               {{"account_name: retail", "account_name: shop"},
                                {"region: eu-west-1", "region: eu-north-1"},
                                {account2, ""}},
                               "--format github")
                              .out;
  for (const char* line : {
           ",line=31::VPC vpc-0b99c00d11e22f302 removed (account 310000000002, region us-west-2)",
           ",line=31::account 310000000002 removed",
           ",line=32::account 310000000001 account_name: \"retail\" → \"shop\"",
           ",line=56::account 310000000001, region eu-north-1 added",
           ",line=31::account 310000000001, region eu-west-1 removed",
           ",line=31::account 310000000002, region us-west-2 removed",
       }) {
    EXPECT_TRUE(has(out, std::string(line) + "\n")) << line << "\n" << out;
  }
}

TEST(Diff, GithubNoticesForAMovedVpc) {
  const std::string out = diff({}, kMove, "--format github").out;
  EXPECT_TRUE(has(out, ",line=56::VPC vpc-0b99c00d11e22f302 moved from account 310000000002, "
                       "region us-west-2\n"))
      << out;
  EXPECT_TRUE(has(out, ",line=58::vpc-0b99c00d11e22f302 spoke_gw_name: ")) << out;
}

// A table per account, for a pull request: pipes in values escaped so the columns hold.
TEST(Diff, MarkdownTablePerAccount) {
  const Outcome r = diff({},
                         {{"gw_zones: [a, b]", "gw_zones: [a, \"x|y\"]"},
                          {"account_name: data-platform", "account_name: data"}},
                         "--format markdown");
  ASSERT_EQ(r.status, 1) << r.err;
  EXPECT_EQ(r.out,
            "### account 310000000002\n\n|   | region | VPC | change |\n|---|---|---|---|\n"
            "| ~ |  |  | `account_name`: `\"data-platform\"` → `\"data\"` |\n\n"
            "### account 310000000001\n\n|   | region | VPC | change |\n|---|---|---|---|\n"
            "| ~ | us-east-1 | `vpc-0a11b22c33d44e501` | `gw_zones`: `[\"a\",\"b\"]` → "
            "`[\"a\",\"x\\|y\"]` |\n\n"
            "**0 VPCs added, 0 removed, 0 moved, 1 changed; accounts: 0 added, 0 removed, 1 "
            "changed**\n");
  EXPECT_EQ(diff({}, {}, "--format markdown").out, "**no differences**\n");
  // A moved VPC is in the table of the account that holds it now.
  const std::string moved = diff({}, kMove, "--format markdown").out;
  EXPECT_TRUE(has(moved,
                  "### account 310000000001\n\n|   | region | VPC | change |\n"
                  "|---|---|---|---|\n| → | us-east-1 | `vpc-0b99c00d11e22f302` | from "
                  "account 310000000002, region us-west-2 |\n"))
      << moved;
}

}  // namespace
