// Faults as data: where the load places each one, what it carries besides its message, and the
// outcomes of a document that never reaches validation.
#include <optional>
#include <string>

#include <gtest/gtest.h>

#include "tarnwick/core/load.hpp"

namespace tarnwick::core {
namespace {

using yaml::Mark;

// A migration document in single-CIDR mode with two accounts' VPCs, each faulty or not by `vpcs`.
std::string document(const std::string& config, const std::string& vpcs) {
  return "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2',\n"
         "            aws_provider: '3'}\n"
         "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
         "account_info:\n"
         "  - account_id: '123'\n"
         "    regions:\n"
         "      - region: us-east-1\n"
         "        vpcs:\n" +
         vpcs + "config: " + config + "\ntgw: {tgw_account: a, tgw_role: r, tgw_by_region: {}}\n";
}

const ErrorDetail& only_fault(const LoadResult& r) {
  EXPECT_EQ(r.faults().size(), 1u);
  return r.faults().front();
}

// Each fault's range: a key for what is about a key (never the whole mapping that lacks it), the
// whole node for a value.
TEST(Faults, PlacedWhereTheOperatorActs) {
  const struct {
    std::string text;
    std::string loc;
    Mark start, end;
  } cases[] = {
      // A missing section sits at the document's first key, not over the whole document.
      {"terraform: {terraform_output: /o}\naccount_info: []\n", "corvane", {1, 1}, {1, 10}},
      // A missing key of a section that is the document's first key: that key alone.
      {"terraform: {terraform_output: /o}\naccount_info: []\n",
       "terraform.terraform_version",
       {1, 1},
       {1, 10}},
      {"terraform:\n  terraform_outptu: /o\naccount_info: []\n",
       "terraform.terraform_outptu",
       {2, 3},
       {2, 19}},
      {"terraform: {terraform_output: /o}\naccount_info: [{account_id: '1', regions: x}]\n",
       "account_info.0.regions",
       {2, 43},
       {2, 44}},
  };
  for (const auto& c : cases) {
    const LoadResult r = load(Source::text(c.text));
    const ErrorDetail* found = nullptr;
    for (const ErrorDetail& f : r.faults()) {
      if (loc_text(f.loc) == c.loc) found = &f;
    }
    ASSERT_NE(found, nullptr) << c.loc;
    EXPECT_EQ(found->mark, c.start) << c.loc;
    EXPECT_EQ(found->end, c.end) << c.loc;
  }
}

// A rule across sections names each VPC: the fault keeps its exact message and also holds each
// VPC's place, at the key that breaks the rule (or the VPC's id when that key is missing).
TEST(Faults, CrossSectionFindingsArePlacedAtEachVpc) {
  const std::string vpcs =
      "          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24, eips: [1.1.1.1]}\n"
      "          - {vpc_id: vpc-2, crvn_cidr: 10.2.0.0/24}\n"
      "          - vpc_id: vpc-3\n"
      "            crvn_cidr: 10.3.0.0/24\n"
      "            eips: [1.1.1.1, 2.2.2.2, 3.3.3.3]\n";
  const LoadResult r = load(Source::text(document("{configure_gw_name: false}", vpcs)));
  const ErrorDetail& f = only_fault(r);
  EXPECT_EQ(f.msg,
            "HA mode, 2 eips is needed in 123/us-east-1/vpc-1; HA mode, 2 eips is needed in "
            "123/us-east-1/vpc-3");
  EXPECT_EQ(f.rule, "check_config.eips_fit_ha_mode");
  ASSERT_EQ(f.related.size(), 2u);
  EXPECT_EQ(loc_text(f.related[0].loc), "account_info.0.regions.0.vpcs.0.eips");
  EXPECT_EQ(f.related[0].start, (Mark{9, 53}));
  EXPECT_EQ(f.related[0].end, (Mark{9, 57}));
  EXPECT_EQ(f.related[1].start, (Mark{13, 13}));
  EXPECT_EQ(f.related[1].message, "vpc vpc-3: HA mode needs 2 eips; it has 3");
  EXPECT_TRUE(f.related[1].finding);

  // A missing key: placed at the VPC's id.
  const LoadResult named = load(Source::text(document("{}", vpcs)));  // naming is on by default
  const ErrorDetail& g = only_fault(named);
  EXPECT_EQ(g.rule, "check_config.gw_names_given");
  ASSERT_EQ(g.related.size(), 3u);
  EXPECT_EQ(g.related[2].start, (Mark{11, 13}));  // vpc_id of vpc-3
  EXPECT_EQ(g.related[0].start, (Mark{9, 14}));   // the key, not the flow mapping around it
  EXPECT_EQ(g.related[2].message,
            "vpc vpc-3: spoke_gw_name is missing; config.configure_gw_name is True");
}

// A long list is cut for the eye; the message itself stays whole.
TEST(Faults, ShownMessageCutsLongListsOnly) {
  ErrorDetail f;
  f.msg = "head: a; b; c";
  f.listed_from = 6;
  f.list_separator = "; ";
  const struct {
    std::size_t max;
    const char* shown;
  } cases[] = {{3, "head: a; b; c"},
               {4, "head: a; b; c"},
               {2, "head: a; b and 1 more"},
               {1, "head: a and 2 more"},
               {0, "head: a and 2 more"}};
  for (const auto& c : cases) EXPECT_EQ(shown_message(f, c.max), c.shown) << c.max;
  f.listed_from = std::string::npos;
  EXPECT_EQ(shown_message(f, 1), f.msg);
  std::string many = "x: 0";
  for (int i = 1; i < 4213; ++i) many += "; " + std::to_string(i);
  f.msg = many;
  f.listed_from = 3;
  EXPECT_EQ(shown_message(f, 1), "x: 0 and 4,212 more");
  EXPECT_EQ(shown_message(f, 4000), "x: 0; 1; 2" + f.msg.substr(10, f.msg.find("; 4000") - 10) +
                                        " and 213 more");  // three digits: no separator
}

// When account_info failed its own checks, check_config saw no VPC: a note says so, unless the
// check failed anyway or runs in discovery-only mode; under lint it names the rules that read the
// records too (those left on), which a faulty document never gets.
TEST(Faults, SkippedCrossSectionChecksAreNoted) {
  const std::string bad_vpcs = "          - {vpc_id: vpc-1, crvn_cidr: not-a-network}\n";
  const std::string good_vpcs = "          - {vpc_id: vpc-1, crvn_cidr: 10.1.0.0/24}\n";
  const std::string said =
      "check_config did not look at the VPCs, because account_info has faults; it checks them "
      "once those are fixed";
  const std::string lint_said =
      ". Lint that reads the records did not run either (duplicate-vpc-id, "
      "duplicate-account-id, duplicate-region, account-id-digits): it runs once the document "
      "has no faults";
  const std::string ignore = "# tarnwick-config: ignore duplicate-region, duplicate-vpc-id\n";
  const struct {
    std::string text;
    bool discovery_only;
    LintSet lint;
    std::optional<std::string> noted;
  } cases[] = {
      {document("{}", bad_vpcs), false, {}, said},
      {document("{}", bad_vpcs), true, {}, std::nullopt},
      {document("{}", good_vpcs), false, {}, std::nullopt},
      // The check failed before it looked at a VPC: its own fault says enough.
      {document("{configure_transit_gw_egress: true, configure_gw_name: false}", bad_vpcs),
       false,
       {},
       std::nullopt},
      {document("{}", bad_vpcs), false, LintSet::defaults(), said + lint_said},
      {document("{}", bad_vpcs), false, LintSet{}.add(LintRule::bare_address), said},
      {ignore + document("{}", bad_vpcs), false, LintSet::defaults().add(LintRule::truthy),
       said + ". Lint that reads the records did not run either (duplicate-account-id, "
              "account-id-digits): it runs once the document has no faults"},
      {document("{}", bad_vpcs), true, LintSet::defaults(), std::nullopt},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    const LoadResult r =
        load(Source::text(c.text), {.discovery_only = c.discovery_only, .lint = c.lint});
    std::optional<std::string> noted;
    for (const ErrorDetail& w : r.warnings) {
      if (w.type != kind::kChecksSkipped) continue;
      noted = w.msg;
      EXPECT_EQ(w.severity, Severity::note);
      EXPECT_EQ(loc_text(w.loc), "config");
      EXPECT_EQ(w.mark.line, c.text.starts_with('#') ? 11u : 10u);
    }
    EXPECT_EQ(noted, c.noted);
  }
  // Warnings in document order: the note at `config` comes between keys written twice above
  // and below it.
  const LoadResult both =
      load(Source::text("id: a\nid: b\n" + document("{}", bad_vpcs) + "alert: {}\nalert: {}\n"));
  ASSERT_EQ(both.warnings.size(), 3u);
  EXPECT_EQ(both.warnings[0].type, kind::kDuplicateKey);
  EXPECT_EQ(both.warnings[1].type, kind::kChecksSkipped);
  EXPECT_EQ(both.warnings[2].type, kind::kDuplicateKey);
}

// The first-line comment decides the mode for the operator's tools, never for a host.
TEST(Faults, TheModeCommentDecidesWhenHonoured) {
  const std::string text = "# tarnwick-config: discovery-only\nid: vpc_discovery\n";
  const std::string migration = "# tarnwick-config: migration\n" + document("{}", "          []\n");
  const struct {
    const std::string* text;
    bool flag, honour, discovery_only;
  } cases[] = {
      {&text, false, true, true},
      {&text, false, false, false},
      {&migration, true, true, false},
      {&migration, true, false, true},
  };
  for (const auto& c : cases) {
    const LoadResult r =
        load(Source::text(*c.text), {.discovery_only = c.flag, .mode_comment = c.honour});
    EXPECT_EQ(r.discovery_only, c.discovery_only) << *c.text;
  }
}

// Nothing about a document is thrown: each outcome is data, with the reader's error kept.
TEST(Faults, DocumentsThatNeverReachValidation) {
  const struct {
    std::string text;
    std::string_view type;
    const char* msg;
    bool any_section;
  } cases[] = {
      {"- a\n", kind::kNotMapping, "the document must be a mapping of sections, not a sequence",
       false},
      {"5\n", kind::kNotMapping, "the document must be a mapping of sections, not an integer",
       false},
      {"# nothing\n", kind::kNotMapping, "the document is empty", false},
      {"id: [\n", kind::kMalformedYaml,
       "line 1: the text ends before the `[` at column 5 is closed (while parsing a flow node: "
       "did not find expected node content); the line reads \"id: [\"",
       false},
      {"id: x\n\tlabel: y\n", kind::kMalformedYaml,
       "line 2: a tab cannot indent YAML; use spaces (while scanning a plain scalar at line 1, "
       "column 5: found a tab character that violates indentation); the line reads \"\tlabel: "
       "y\"",
       false},
      {"on: push\n", {}, nullptr, false},
      {"on: push\ncleanup: {}\n", {}, nullptr, true},
  };
  for (const auto& c : cases) {
    const LoadResult r = load(Source::text(c.text));
    EXPECT_EQ(r.any_section, c.any_section) << c.text;
    if (c.type.empty()) {
      EXPECT_FALSE(r.fatal) << c.text;
      continue;
    }
    ASSERT_TRUE(r.fatal) << c.text;
    EXPECT_EQ(r.fatal->type, c.type);
    if (c.msg) {
      EXPECT_EQ(r.fatal->msg, c.msg);
    }
    EXPECT_EQ(r.cause != nullptr, c.type == kind::kMalformedYaml) << c.text;
  }
  const LoadResult missing = load(Source::file("/nonexistent/dir/x.yaml"));
  ASSERT_TRUE(missing.fatal);
  EXPECT_EQ(missing.fatal->type, kind::kUnreadableFile);
  EXPECT_EQ(missing.fatal->msg, "cannot read /nonexistent/dir/x.yaml: No such file or directory");
  EXPECT_THROW(LoadResult(load(Source::file("/nonexistent/dir/x.yaml"))).document(),
               std::filesystem::filesystem_error);
}

}  // namespace
}  // namespace tarnwick::core
