// The rule registry: every fault a load makes names a registered rule, and each rule's texts and
// fields are its own and fixed.
#include <filesystem>
#include <fstream>
#include <set>

#include <gtest/gtest.h>

#include "tarnwick/core/lint.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/core/rules.hpp"

namespace tarnwick::core {
namespace {

namespace fs = std::filesystem;

const Rule& rule(std::string_view id) {
  const std::size_t i = rule_index(id);
  EXPECT_LT(i, rules().size()) << id;
  return rules().at(std::min(i, rules().size() - 1));
}

bool has_field(const Rule& r, std::string_view path) {
  return std::any_of(r.fields.begin(), r.fields.end(),
                     [&](const RuleField& f) { return f.path == path; });
}

// Records every rule id a load's outcome names, failing on one the registry lacks.
void note_rules(const LoadResult& r, const std::string& what, std::set<std::string>& seen) {
  std::vector<const ErrorDetail*> all;
  for (const ErrorDetail& e : r.faults()) all.push_back(&e);
  for (const ErrorDetail& e : r.warnings) all.push_back(&e);
  if (r.fatal) all.push_back(&*r.fatal);
  for (const ErrorDetail* e : all) {
    EXPECT_LT(rule_index(e->rule_id()), rules().size())
        << what << ": " << loc_text(e->loc) << ": " << e->rule_id();
    // A rule said to be a migration's alone never speaks in a discovery-only run.
    if (r.discovery_only && rule_index(e->rule_id()) < rules().size()) {
      EXPECT_FALSE(rules()[rule_index(e->rule_id())].migration_only) << what << ": " << e->rule_id();
    }
    seen.emplace(e->rule_id());
  }
}

// The examples, every conformance case in its mode, and the outcomes no case reaches: each fault
// names a registered rule.
TEST(Rules, EveryFaultOfTheExamplesAndCasesIsRegistered) {
  std::set<std::string> seen;
  for (const auto& entry : fs::directory_iterator(fs::path(TARNWICK_SOURCE_DIR) / "examples")) {
    for (const bool discovery : {false, true}) {
      note_rules(load(Source::file(entry.path()),
                      {.discovery_only = discovery, .strict_duplicates = true}),
                 entry.path().string(), seen);
    }
  }
  const struct {
    const char* name;
    const char* text;
  } documents[] = {
      {"not a mapping", "- a\n"},
      {"malformed", "a: 'open\n"},
      {"written twice", "terraform: {terraform_output: /o}\nterraform: {}\n"},
      {"checks skipped",
       "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2',\n"
       "            aws_provider: '3'}\n"
       "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
       "account_info: [{account_id: x, regions: []}]\nconfig: {}\n"},
  };
  for (const auto& d : documents) {
    note_rules(load(Source::text(d.text), {.strict_duplicates = true}), d.name, seen);
  }
  note_rules(load(Source::file("/nonexistent/tarnwick.yaml")), "unreadable", seen);
  const std::string linted =
      "# tarnwick-config: ignore bare-adress\n"
      "terraform: {terraform_output: /o}\naccount_info:\n  - account_id: '1'\n    hpe: on\n"
      "    filter_cidrs: [10.0.0.1]\n    regions:\n"
      "      - {region: us-east-1, vpcs: [{vpc_id: v}, {vpc_id: v}]}\n"
      "      - {region: us-east-1, vpcs: []}\n  - {account_id: '1', regions: []}\n";
  note_rules(load(Source::text(linted), {.discovery_only = true,
                                         .lint = LintSet::defaults().add(LintRule::truthy)}),
             "lint", seen);
  for (const LintRuleText& t : lint_rules()) EXPECT_TRUE(seen.contains(std::string(t.id))) << t.id;
  EXPECT_TRUE(seen.contains(std::string(kUnknownLintRule)));

  const fs::path cases = fs::path(TARNWICK_SOURCE_DIR) / ".." / "shared" / "conformance";
  std::ifstream index(cases / "index.json");
  if (index) {
    for (const auto& c : nlohmann::json::parse(index)) {
      note_rules(load(Source::file(cases / c.at("file").get<std::string>()),
                      {.discovery_only = c.at("discovery_only").get<bool>(),
                       .strict_duplicates = true,
                       .mode_comment = true}),
                 c.at("name").get<std::string>(), seen);
    }
    // Not a vacuous run: most rules were met, the cross-section ones too.
    EXPECT_GE(seen.size(), 30u);
  }
  for (const std::string_view id :
       {kind::kNotMapping, kind::kMalformedYaml, kind::kUnreadableFile, kind::kDuplicateKey,
        kind::kChecksSkipped, std::string_view("value_error.ipv4address")}) {
    EXPECT_TRUE(seen.contains(std::string(id))) << id;
  }
}

// Ids and names once each; texts of their own; every field described.
TEST(Rules, EachRuleIsDescribedOnce) {
  std::set<std::string> ids, names, shorts;
  for (const Rule& r : rules()) {
    SCOPED_TRACE(r.id);
    EXPECT_TRUE(ids.insert(r.id).second);
    EXPECT_TRUE(names.insert(r.name).second);
    EXPECT_TRUE(shorts.insert(std::string(r.short_description)).second);
    EXPECT_FALSE(r.full_description.empty());
    EXPECT_NE(r.short_description, r.full_description);
    EXPECT_EQ(r.name.find_first_of("._-"), std::string::npos);
    EXPECT_EQ(rules()[rule_index(r.id)].id, r.id);
    for (const RuleField& f : r.fields) {
      EXPECT_FALSE(f.description.empty()) << f.path;
      EXPECT_EQ(f.path.find(".."), std::string::npos) << f.path;
    }
  }
  EXPECT_EQ(rule_index("value_error"), rules().size());
  EXPECT_EQ(rule_index(""), rules().size());
  EXPECT_EQ(rule_index("check_config.no_such_rule"), rules().size());
}

// Where a rule's fields come from: the rows that hold a check (a record check: the field holding
// the record), the fields of a frame rule's kind, the fields a cross-section rule reads.
TEST(Rules, FieldsAndLevels) {
  const struct {
    const char* id;
    const char* name;
    Severity level;
    std::vector<const char*> has;
    std::vector<const char*> lacks;
  } cases[] = {
      {"check_field_for_none",
       "CheckFieldForNone",
       Severity::error,
       {"terraform.terraform_version", "terraform.aws_provider", "corvane"},
       {"terraform.terraform_output"}},
      {"check_mode", "CheckMode", Severity::error, {"corvane.tf_controller_access"}, {"corvane"}},
      {"check_required_attributes", "CheckRequiredAttributes", Severity::error,
       {"terraform.tf_cloud"}, {}},
      {"validate_id", "ValidateId", Severity::error, {"id"}, {}},
      {"check_encrypt_key", "CheckEncryptKey", Severity::error,
       {"account_info.regions.vpcs.encrypt_key"}, {"account_info.regions.vpcs.encrypt"}},
      {"value_error.missing",
       "ValueErrorMissing",
       Severity::error,
       {"terraform.terraform_output", "account_info.regions.vpcs.vpc_id"},
       {"terraform.terraform_version", "label"}},
      {"value_error.ipv4address", "ValueErrorIpv4address", Severity::error,
       {"corvane.controller_ip", "account_info.regions.vpcs.eips"},
       {"account_info.regions.vpcs.crvn_cidr"}},
      {"value_error.const", "ValueErrorConst", Severity::error,
       {"account_info.regions.region", "corvane.tf_controller_access.mode"}, {}},
      {"value_error.any_str.max_length", "ValueErrorAnyStrMaxLength", Severity::error,
       {"account_info.regions.vpcs.spoke_gw_name"}, {"account_info.account_id"}},
      {"value_error.str.regex", "ValueErrorStrRegex", Severity::error, {"account_info.account_id"},
       {"account_info.regions.vpcs.spoke_gw_name"}},
      {"check_config.eips_fit_ha_mode", "CheckConfigEipsFitHaMode", Severity::error,
       {"account_info.spoke_ha", "account_info.regions.vpcs.spoke_ha",
        "account_info.regions.vpcs.eips"},
       {}},
      {"check_config.egress_needs_gw_name", "CheckConfigEgressNeedsGwName", Severity::error,
       {"config.configure_transit_gw_egress", "config.configure_gw_name"}, {}},
      {"value_error.duplicate_key", "ValueErrorDuplicateKey", Severity::warning, {}, {}},
      {"note.checks_skipped", "NoteChecksSkipped", Severity::note, {}, {}},
      {"document_error.malformed_yaml", "DocumentErrorMalformedYaml", Severity::error, {}, {}},
      {"duplicate-vpc-id", "DuplicateVpcId", Severity::warning,
       {"account_info.regions.vpcs.vpc_id"}, {"account_info.account_id"}},
      {"account-id-digits", "AccountIdDigits", Severity::warning, {"account_info.account_id"}, {}},
      {"bare-address", "BareAddress", Severity::warning,
       {"account_info.filter_cidrs", "account_info.regions.vpcs.crvn_cidrs",
        "alert.expect_dest_cidrs"},
       {"account_info.regions.vpcs.crvn_cidr", "corvane.controller_ip"}},
      {"truthy", "Truthy", Severity::warning,
       {"account_info.hpe", "account_info.regions.vpcs.encrypt"}, {"account_info.account_id"}},
      {"unknown-lint-rule", "UnknownLintRule", Severity::warning, {}, {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    const Rule& r = rule(c.id);
    EXPECT_EQ(r.name, c.name);
    EXPECT_EQ(r.level, c.level);
    for (const char* path : c.has) EXPECT_TRUE(has_field(r, path)) << path;
    for (const char* path : c.lacks) EXPECT_FALSE(has_field(r, path)) << path;
  }
  // In document order; the order of the registry is fixed: frame, checks, check_config's rules,
  // the document's.
  const Rule& none = rule("check_field_for_none");
  EXPECT_EQ(none.fields.front().path, "terraform.terraform_version");
  EXPECT_EQ(none.fields.back().path, "corvane");
  EXPECT_EQ(rules().front().id, "value_error.missing");
  EXPECT_LT(rule_index("value_error.ipv4network"), rule_index("validate_id"));
  EXPECT_LT(rule_index("check_tgw_for_none"), rule_index("check_config.egress_needs_gw_name"));
  EXPECT_LT(rule_index("check_config.spoke_advertisement_not_empty"),
            rule_index("value_error.duplicate_key"));
  EXPECT_LT(rule_index("document_error.not_mapping"), rule_index("duplicate-vpc-id"));
  EXPECT_LT(rule_index("truthy"), rule_index("unknown-lint-rule"));
  EXPECT_EQ(rules().back().id, "unknown-lint-rule");
}

// What a rule says of its fields beyond its texts: which mode checks it, whether it makes them
// required (explain's "required" reads both).
TEST(Rules, ModeAndRequiredFields) {
  const struct {
    const char* id;
    bool migration_only, makes_required;
  } cases[] = {
      {"value_error.missing", false, true},         {"check_field_for_none", true, true},
      {"check_encrypt_key", true, false},           {"check_config", true, false},
      {"check_config.gw_names_given", true, false}, {"check_cleanup", true, false},
      {"note.checks_skipped", true, false},         {"check_tgw_for_none", false, false},
      {"check_mode", false, false},                 {"value_error.extra", false, false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.id);
    EXPECT_EQ(rule(c.id).migration_only, c.migration_only);
    EXPECT_EQ(rule(c.id).makes_required, c.makes_required);
  }
}

TEST(Rules, HelpIsTheDescriptionThenEachField) {
  const Rule& r = rule("check_field_for_none");
  std::string expected(r.full_description);
  expected += "\n\nterraform.terraform_version: " + std::string(r.fields[0].description);
  for (std::size_t i = 1; i < r.fields.size(); ++i) {
    expected += "\n" + r.fields[i].path + ": " + std::string(r.fields[i].description);
  }
  EXPECT_EQ(rule_help(r), expected);
  const Rule& bare = rule("document_error.not_mapping");
  EXPECT_EQ(rule_help(bare), bare.full_description);
}

}  // namespace
}  // namespace tarnwick::core
