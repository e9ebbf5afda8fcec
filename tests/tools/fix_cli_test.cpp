// check --fix and --fix --diff run as a process: the faults' fixes made in place, every other byte
// kept, the diff the same change as the rewrite.
#include <filesystem>
#include <fstream>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "cli/fix.hpp"
#include "support/edited_example.hpp"
#include "support/run_tool.hpp"

namespace {

namespace fs = std::filesystem;
using tarnwick::testing::Outcome;
using tarnwick::testing::slurp;
using tarnwick::testing::Edits;
using tarnwick::testing::edited;
using tarnwick::testing::TempFile;

Outcome run(const std::string& args) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args);
}

const std::string& kFull = tarnwick::testing::full_example();

struct Case {
  const char* name;
  Edits broken;     // made to examples/full.yaml
  Edits left = {};  // what --fix cannot mend (made to full.yaml for the expected text)
  int status = 0;   // check --fix's, after the fixes
  int unsafe = 0;   // the fixes that change a value, left to --unsafe-fixes
};

const Case kCases[] = {
    {"a misspelt region", {{"region: eu-west-1", "region: eu-westt-1"}}, {}, 0, 1},
    {"host bits", {{"crvn_cidr: 10.220.16.0/24", "crvn_cidr: 10.220.16.5/24"}}, {}, 0, 1},
    {"a misspelt key", {{"spoke_routes: [10.30.0.0/16]", "spoke_route: [10.30.0.0/16]"}}},
    {"a scalar for a list", {{"spoke_routes: [10.30.0.0/16]", "spoke_routes: 10.30.0.0/16"}},
     {}, 0, 1},
    {"comma-separated values for a list",
     {{"eips: [54.20.1.10, 54.20.1.11]", "eips: \"54.20.1.10, 54.20.1.11\""}},
     {{"eips: [54.20.1.10, 54.20.1.11]", "eips: [\"54.20.1.10\", \"54.20.1.11\"]"}},
     0,
     1},
    {"a choice in the wrong case", {{"[NAT, VGW, PEERING]", "[NAT, vgw, PEERING]"}}},
    {"several on one line and across the file",
     {{"[NAT, VGW, PEERING]", "[nat, vgw, PEERING]"},
      {"region: us-west-2", "region: us-westt-2"},
      {"crvn_cidr: 10.220.16.0/24", "crvn_cidr: 10.220.16.9/24"}},
     {},
     0,
     2},
    {"after wide characters on the line",
     {{"          - vpc_id: vpc-0b99c00d11e22f302\n            crvn_cidr: 100.64.11.0/24\n"
       "            spoke_gw_name: data-usw2-spoke-2\n            transit_gw_name: "
       "data-usw2-transit",
       "          - {vpc_id: vpc-0b99c00d11e22f302, spoke_gw_tags: [{Name: \"ré🚀\"}], "
       "crvn_cidr: 100.64.11.7/24, spoke_gw_name: data-usw2-spoke-2, transit_gw_name: "
       "data-usw2-transit}"}},
     {{"          - vpc_id: vpc-0b99c00d11e22f302\n            crvn_cidr: 100.64.11.0/24\n"
       "            spoke_gw_name: data-usw2-spoke-2\n            transit_gw_name: "
       "data-usw2-transit",
       "          - {vpc_id: vpc-0b99c00d11e22f302, spoke_gw_tags: [{Name: \"ré🚀\"}], "
       "crvn_cidr: 100.64.11.0/24, spoke_gw_name: data-usw2-spoke-2, transit_gw_name: "
       "data-usw2-transit}"}},
     0,
     1},
    {"fixes seven lines apart share a hunk, eight apart do not",
     {{"region: us-west-2", "region: us-westt-2"},
      {"spoke_advertisement: [10.40.0.0/16]", "spoke_advertisement: [10.40.0.1/16]"},
      {"crvn_cidr: 10.220.2.0/24", "crvn_cidr: 10.220.2.3/24"},
      {"crvn_cidr: 10.220.16.0/24", "crvn_cidr: 10.220.16.3/24"}},
     {},
     0,
     4},
    {"on the last line, without a line break",
     {{"us-west-2: tgw-00aa11bb22cc33dd4\n", "us-westt-2: tgw-00aa11bb22cc33dd4"}},
     {{"us-west-2: tgw-00aa11bb22cc33dd4\n", "us-west-2: tgw-00aa11bb22cc33dd4"}},
     0,
     1},
    {"a misspelt rule of the ignore comment, on a valid document",
     {{"# Every section", "# tarnwick-config: ignore bare-adress\n# Every section"}},
     {{"# Every section", "# tarnwick-config: ignore bare-address\n# Every section"}}},
    {"a lint warning of a faulty document, with its fault",
     {{"spoke_routes: [10.30.0.0/16]", "spoke_routes: [10.30.0.1]"},
      {"region: eu-west-1", "region: eu-westt-1"}},
     {{"spoke_routes: [10.30.0.0/16]", "spoke_routes: [10.30.0.1/32]"}},
     0,
     2},
    {"a fault without a fix is left",
     {{"controller_ip: 10.10.0.20", "controller_ip: 10.10.0.300"},
      {"region: eu-west-1", "region: eu-westt-1"}},
     {{"controller_ip: 10.10.0.20", "controller_ip: 10.10.0.300"}},
     1,
     1},
};

// The rewrite leaves the expected text, comments and quoting included, and says what it did; the
// diff, applied by patch(1), makes the same text.
TEST(CliFix, FixesEveryFaultThatHasOneAndNothingElse) {
  for (const Case& c : kCases) {
    SCOPED_TRACE(c.name);
    const std::string broken = edited(kFull, c.broken);
    const std::string expected = edited(kFull, c.left);
    TempFile doc(broken, "fix-doc.yaml");

    Outcome diff = run("check --fix --unsafe-fixes --diff " + doc.quoted());
    // Without asking, the fixes that change a value are only counted.
    const Outcome safe = run("check --fix --diff " + doc.quoted());
    if (c.unsafe == 0) {
      EXPECT_EQ(safe.out, diff.out);
      EXPECT_EQ(safe.err.find("unsafe"), std::string::npos) << safe.err;
    } else {
      const std::string said = std::to_string(c.unsafe) +
                               (c.unsafe == 1 ? " unsafe fix not made" : " unsafe fixes not made");
      EXPECT_NE(safe.err.find(said), std::string::npos) << safe.err;
    }
    EXPECT_EQ(diff.status, 1) << diff.err;
    EXPECT_NE(diff.err.find(": would fix "), std::string::npos) << diff.err;
    EXPECT_EQ(slurp(doc.path), broken);  // --diff writes nothing
    TempFile patch_file(diff.out, "fix.diff");
    TempFile patched("", "fix-patched.yaml");
    const std::string cmd =
        "patch -s -o " + patched.quoted() + " " + doc.quoted() + " < " + patch_file.quoted();
    EXPECT_EQ(std::system(cmd.c_str()), 0) << diff.out;
    EXPECT_EQ(slurp(patched.path), expected) << diff.out;
    // Hunks as diff(1) makes them: three lines of context, hunks closer than that joined.
    TempFile wanted(expected, "fix-expected.yaml");
    Outcome gnu = tarnwick::testing::run_tool(
        "diff", "-u " + doc.quoted() + " " + wanted.quoted() + " | tail -n +3");
    EXPECT_EQ(diff.out.substr(diff.out.find("@@")), gnu.out);

    Outcome fixed = run("check --fix --unsafe-fixes --format text " + doc.quoted());
    EXPECT_EQ(fixed.status, c.status) << fixed.err;
    EXPECT_NE(fixed.err.find(": fixed "), std::string::npos) << fixed.err;
    EXPECT_EQ(slurp(doc.path), expected);
    Outcome again = run("check --fix --diff " + doc.quoted());  // nothing more to fix
    EXPECT_EQ(again.status, 0);
    EXPECT_EQ(again.out, "");
  }
}

TEST(CliFix, ReportsWhatIsLeftAndCarriesFixesInJson) {
  const Case& c = kCases[std::size(kCases) - 1];
  TempFile doc(edited(kFull, c.broken), "fix-doc.yaml");
  Outcome shown = run("check " + doc.quoted());
  nlohmann::json faults;  // the errors (a note says which checks waited for them)
  for (const nlohmann::json& f : nlohmann::json::parse(shown.out)) {
    if (f["severity"] == "error") faults.push_back(f);
  }
  ASSERT_EQ(faults.size(), 2u) << shown.out;
  EXPECT_FALSE(faults[0].contains("fix"));  // controller_ip: no fix
  const nlohmann::json& fix = faults[1]["fix"];
  EXPECT_EQ(fix["message"], "Change to `eu-west-1`");
  EXPECT_EQ(fix["applicability"], "unsafe");  // a misspelt choice: another value
  TempFile key(edited(kFull, kCases[2].broken), "fix-key.yaml");
  EXPECT_EQ(nlohmann::json::parse(run("check " + key.quoted()).out)[0]["fix"]["applicability"],
            "safe");  // a misspelt key: its spelling alone
  EXPECT_EQ(fix["edits"][0]["content"], "eu-west-1");
  EXPECT_EQ(fix["edits"][0]["line"], faults[1]["line"]);
  EXPECT_EQ(fix["edits"][0]["end_column"].get<int>() - fix["edits"][0]["column"].get<int>(),
            static_cast<int>(std::string("eu-westt-1").size()));

  Outcome fixed = run("check --fix --unsafe-fixes " + doc.quoted());
  EXPECT_EQ(fixed.status, 1);
  const nlohmann::json left = nlohmann::json::parse(fixed.out);
  ASSERT_EQ(left.size(), 1u);
  EXPECT_EQ(left[0]["loc"], nlohmann::json::parse(R"(["corvane", "controller_ip"])"));
  // What is left is quoted from the text as fixed.
  std::ofstream(doc.path, std::ios::binary) << edited(kFull, c.broken);
  fixed = run("check --fix --unsafe-fixes --format text " + doc.quoted());
  EXPECT_NE(fixed.err.find(":20:18: error: corvane.controller_ip: value is not a valid IPv4 "
                           "address [value_error.ipv4address]\n    controller_ip: 10.10.0.300\n"),
            std::string::npos)
      << fixed.err;
}

// The file keeps its permissions, and a symbolic link stays a link to the rewritten file.
TEST(CliFix, RewritesInPlaceKeepingModeAndLinks) {
  TempFile doc(edited(kFull, kCases[2].broken), "fix-doc.yaml");
  fs::permissions(doc.path, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  const fs::path link = doc.path.string() + ".link.yaml";
  fs::create_symlink(doc.path, link);
  Outcome r = run("check --fix '" + link.string() + "'");
  EXPECT_EQ(r.status, 0) << r.err;
  EXPECT_TRUE(fs::is_symlink(link));
  EXPECT_EQ(slurp(doc.path), kFull);
  EXPECT_EQ(fs::status(doc.path).permissions() & fs::perms::mask,
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  fs::remove(link);
}

TEST(CliFix, StandardInputOnlyAsADiffAndDiffNeedsFix) {
  const std::string broken = edited(kFull, kCases[2].broken);
  Outcome r = tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, "check --fix -", &broken);
  EXPECT_EQ(r.status, 2);
  EXPECT_NE(r.err.find("cannot rewrite standard input"), std::string::npos) << r.err;
  r = tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, "check --fix --diff -", &broken);
  EXPECT_EQ(r.status, 1);
  EXPECT_NE(r.out.find("-            spoke_route: [10.30.0.0/16]\n"
                       "+            spoke_routes: [10.30.0.0/16]\n"),
            std::string::npos)
      << r.out;
  EXPECT_EQ(run("check --diff -").status, 2);
}

namespace cli = tarnwick::cli;

using tarnwick::core::Applicability;

tarnwick::core::ErrorDetail fault_with_fix(std::uint32_t from, std::uint32_t to, std::string text,
                                           Applicability a = Applicability::safe) {
  tarnwick::core::ErrorDetail f;
  f.fix = tarnwick::core::Fix{std::move(text), "t", {1, from}, {1, to}, a};
  return f;
}

// Overlapping fixes: the first in the text is made, the later one waits for the check after it;
// the same edit from two faults is made once; a fix with no range is not made at all; an unsafe
// one only when asked, else counted.
TEST(FixEdits, FirstOfOverlappingFixesAndTheSameEditOnce) {
  const std::string text = "ab: cdé🚀f\n";
  std::vector<tarnwick::core::ErrorDetail> faults{
      fault_with_fix(5, 8, "x"), fault_with_fix(5, 8, "x"), fault_with_fix(6, 9, "y"),
      fault_with_fix(1, 2, "z"), fault_with_fix(9, 10, "u", Applicability::unsafe)};
  faults.insert(faults.begin(), tarnwick::core::ErrorDetail{})->fix =
      tarnwick::core::Fix{"w", "t", {}, {}};
  const std::span<const tarnwick::core::ErrorDetail> groups[] = {faults};
  std::size_t left = 9;
  EXPECT_EQ(cli::fix_edits(text, groups, true, left),
            (std::vector<cli::TextEdit>{{0, 1, "z"}, {4, 8, "x"}, {12, 13, "u"}}));
  EXPECT_EQ(left, 0u);
  const std::vector<cli::TextEdit> edits = cli::fix_edits(text, groups, false, left);
  EXPECT_EQ(left, 1u);
  EXPECT_EQ(edits, (std::vector<cli::TextEdit>{{0, 1, "z"}, {4, 8, "x"}}));
  EXPECT_EQ(cli::apply_edits(text, edits), "zb: x🚀f\n");
  EXPECT_EQ(cli::byte_offset(text, {1, 9}), 12u);   // past the rocket's four bytes
  EXPECT_EQ(cli::byte_offset(text, {1, 40}), 13u);  // clamped to the line's end
  EXPECT_EQ(cli::byte_offset(text, {3, 1}), text.size());
}

TEST(UnifiedDiff, HunkRangesAsPatchReadsThem) {
  // A one-line range is written without its count.
  EXPECT_EQ(cli::unified_diff("f", "k: v\n", "k: w\n", {{3, 4, "w"}}),
            "--- a/f\n+++ b/f\n@@ -1 +1 @@\n-k: v\n+k: w\n");
  // An edit that ends where the next line starts changes its own line only.
  EXPECT_EQ(cli::unified_diff("f", "a: 1\nb: 2\n", "a: 3\nb: 2\n", {{0, 5, "a: 3\n"}}),
            "--- a/f\n+++ b/f\n@@ -1,2 +1,2 @@\n-a: 1\n+a: 3\n b: 2\n");
}

}  // namespace
