// The SARIF reporter: the driver's rules, each result's message, level and regions.
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "report/sarif_reporter.hpp"
#include "support/report_fault.hpp"
#include "tarnwick/core/rules.hpp"

namespace {

namespace core = tarnwick::core;
namespace report = tarnwick::report;

using tarnwick::testing::fault;

// The SARIF log of a run: its results and the driver's rules.
nlohmann::ordered_json sarif_run(const std::vector<report::DocumentReport>& docs) {
  std::ostringstream out;
  report::SarifReporter reporter(out, "9.9");
  for (const auto& d : docs) reporter.report(d);
  reporter.finish();
  return nlohmann::ordered_json::parse(out.str())["runs"][0];
}

// The driver lists every registered rule, in the registry's order, whatever the run found: an
// index means the same rule in every log. A rule the registry lacks comes after them, once.
TEST(Reporters, SarifRulesAreTheRegistryInEveryRun) {
  using J = nlohmann::ordered_json;
  const std::size_t n = core::rules().size();
  std::vector<core::ErrorDetail> faults{fault({"a"}, "unregistered", 1, 1),
                                        fault({"b"}, "registered", 0, 0),
                                        fault({"c"}, "unregistered again", 0, 0),
                                        fault({"d"}, "another unregistered", 0, 0),
                                        fault({"e"}, "a rule across sections", 0, 0)};
  faults[1].type = "value_error.ipv4address";
  faults[3].type = "value_error.other";
  faults[4].rule = "check_config.gw_names_given";
  const J empty = sarif_run({});
  const J other = sarif_run({{"b.yaml", "", {faults.data() + 1, 1}}});
  const J run = sarif_run({{"a.yaml", "a: 1\n", faults}});
  EXPECT_EQ(empty["columnKind"], "utf16CodeUnits");
  EXPECT_EQ(empty["results"], J::array());
  const J& rules = empty["tool"]["driver"]["rules"];
  ASSERT_EQ(rules.size(), n);
  EXPECT_EQ(other["tool"]["driver"]["rules"], rules);
  for (std::size_t i = 0; i < n; ++i) {
    const core::Rule& r = core::rules()[i];
    SCOPED_TRACE(r.id);
    EXPECT_EQ(rules[i]["id"], r.id);
    EXPECT_EQ(rules[i]["name"], r.name);
    EXPECT_EQ(rules[i]["shortDescription"]["text"], r.short_description);
    EXPECT_EQ(rules[i]["fullDescription"]["text"], r.full_description);
    EXPECT_EQ(rules[i]["help"]["text"], core::rule_help(r));
    EXPECT_EQ(rules[i]["defaultConfiguration"]["level"], core::severity_name(r.level));
  }
  const core::Rule& none = core::rules()[core::rule_index("check_field_for_none")];
  EXPECT_EQ(rules[core::rule_index("check_field_for_none")]["help"]["markdown"],
            std::string(none.full_description) + "\n\n- `terraform.terraform_version`: " +
                std::string(none.fields[0].description) + "\n- `terraform.corvane_provider`: " +
                std::string(none.fields[1].description) + "\n- `terraform.aws_provider`: " +
                std::string(none.fields[2].description) + "\n- `corvane`: " +
                std::string(none.fields[3].description));
  const J& listed = run["tool"]["driver"]["rules"];
  ASSERT_EQ(listed.size(), n + 2);
  EXPECT_EQ(listed[n]["id"], "value_error");
  EXPECT_EQ(listed[n + 1]["id"], "value_error.other");
  EXPECT_EQ(listed[n]["defaultConfiguration"]["level"], "error");
  const std::size_t expected[] = {n, core::rule_index("value_error.ipv4address"), n, n + 1,
                                  core::rule_index("check_config.gw_names_given")};
  ASSERT_EQ(run["results"].size(), std::size(expected));
  for (std::size_t i = 0; i < std::size(expected); ++i) {
    SCOPED_TRACE(i);
    const J& r = run["results"][i];
    EXPECT_EQ(r["ruleIndex"], expected[i]);
    EXPECT_EQ(r["ruleId"], listed[expected[i]]["id"]);
  }
}

// Message, URI and region of each result, warnings and notes at their level, each related place
// a related location.
TEST(Reporters, SarifResultsWithRegionsLevelsAndRelatedPlaces) {
  using J = nlohmann::ordered_json;
  const core::Loc ip{"corvane", "controller_ip"};
  std::vector<core::ErrorDetail> faults{fault(ip, "bad address", 1, 4),
                                        fault({"zz"}, "extra", 0, 0),
                                        fault({}, "eips", 2, 1)};
  faults[0].hint = "octet 300 is over 255";
  faults[0].end = {1, 9};
  faults[0].fix = core::Fix{"10.0.0.30", "Change to `10.0.0.30`", {1, 5}, {1, 15},
                            core::Applicability::unsafe};
  faults[2].rule = "check_config.eips_fit_ha_mode";
  faults[2].related = {{{"x", std::int64_t{0}}, "vpc a: one eip", {2, 3}, {2, 6}, true},
                       {{"y"}, "not placed", {}, {}, true},
                       {{"x", std::int64_t{1}}, "vpc b: three eips", {3, 1}, {}, true}};
  std::vector<core::ErrorDetail> warnings{fault({"k"}, "written twice", 3, 2),
                                          fault({"config"}, "not run", 0, 0)};
  warnings[0].severity = core::Severity::warning;
  warnings[0].type = core::kind::kDuplicateKey;
  warnings[1].severity = core::Severity::note;
  warnings[1].rule = "check_config";
  const J run = sarif_run({{"./dir/a b.yaml", "ip: 10.0.0.300\nx: [a, b]\nk: 1\n", faults,
                            warnings},
                           {"/abs/c.yaml", "", {faults.data() + 1, 1}}});
  const struct {
    const char* rule;
    const char* level;
    const char* uri;
    const char* text;
    J region;  // null: none
  } cases[] = {// In source order, warnings among errors; those without a place last.
               {"value_error", "error", "dir/a%20b.yaml",
                "corvane.controller_ip: bad address (octet 300 is over 255)",
                {{"startLine", 1}, {"startColumn", 4}, {"endLine", 1}, {"endColumn", 9}}},
               {"check_config.eips_fit_ha_mode", "error", "dir/a%20b.yaml", "eips",
                {{"startLine", 2}, {"startColumn", 1}}},
               {"value_error.duplicate_key", "warning", "dir/a%20b.yaml", "k: written twice",
                {{"startLine", 3}, {"startColumn", 2}}},
               {"value_error", "error", "dir/a%20b.yaml", "zz: extra", nullptr},
               {"check_config", "note", "dir/a%20b.yaml", "config: not run", nullptr},
               {"value_error", "error", "file:///abs/c.yaml", "zz: extra", nullptr}};
  ASSERT_EQ(run["results"].size(), std::size(cases));
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    const J& r = run["results"][i];
    EXPECT_EQ(r["ruleId"], cases[i].rule);
    EXPECT_EQ(r["level"], cases[i].level);
    EXPECT_EQ(r["message"]["text"], cases[i].text);
    const J& physical = r["locations"][0]["physicalLocation"];
    EXPECT_EQ(physical["artifactLocation"]["uri"], cases[i].uri);
    EXPECT_EQ(physical.value("region", J()), cases[i].region);
    EXPECT_EQ(r.contains("relatedLocations"), i == 1);
    EXPECT_EQ(r.contains("fixes"), i == 0);
  }
  EXPECT_EQ(run["results"][0]["fixes"], J::parse(R"([{
    "description": {"text": "Change to `10.0.0.30`"},
    "artifactChanges": [{"artifactLocation": {"uri": "dir/a%20b.yaml"}, "replacements": [{
      "deletedRegion": {"startLine": 1, "startColumn": 5, "endLine": 1, "endColumn": 15},
      "insertedContent": {"text": "10.0.0.30"}}]}],
    "properties": {"applicability": "unsafe"}}])"));
  const J related = J::parse(R"([
    {"id": 0, "physicalLocation": {"artifactLocation": {"uri": "dir/a%20b.yaml"},
     "region": {"startLine": 2, "startColumn": 3, "endLine": 2, "endColumn": 6}},
     "message": {"text": "vpc a: one eip"}},
    {"id": 1, "physicalLocation": {"artifactLocation": {"uri": "dir/a%20b.yaml"},
     "region": {"startLine": 3, "startColumn": 1}},
     "message": {"text": "vpc b: three eips"}}])");
  EXPECT_EQ(run["results"][1]["relatedLocations"], related);
}

// Columns count UTF-16 code units of the line: a character of four bytes is two, any other one;
// lines end where the reader ends them (LF, CRLF, CR).
TEST(Reporters, SarifColumnsCountUtf16CodeUnits) {
  const std::string emoji = "\xF0\x9F\x98\x80";  // U+1F600: 4 bytes, 2 units
  const std::string euro = "\xE2\x82\xAC";       // 3 bytes, 1 unit
  const struct {
    std::string text;
    tarnwick::yaml::Mark start, end;
    std::uint32_t start_column, end_column;
  } cases[] = {
      {"a: " + emoji + emoji + " x\n", {1, 7}, {1, 8}, 9, 10},
      {"a: " + emoji + "\n", {1, 4}, {1, 5}, 4, 6},  // the end just past the emoji
      {"a: " + euro + "\xC3\xA9 x\n", {1, 7}, {1, 8}, 7, 8},
      {"a: 1\r\nb: " + emoji + " x\n", {2, 6}, {2, 7}, 7, 8},
      {"a: " + emoji + "\rb: " + emoji + " x", {2, 6}, {2, 7}, 7, 8},   // CR alone ends a line
      {"a: " + emoji + "\nb: x\n", {1, 4}, {2, 5}, 4, 5},               // the end's own line
      {"a: " + emoji + "\n", {1, 9}, {1, 12}, 10, 13},                  // past the line's end
      {"", {3, 5}, {3, 8}, 5, 8},                                       // no text: as marked
      {"a: 1\n", {1, 0}, {1, 0}, 0, 0},  // no column: none given (SARIF's start at 1)
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    core::ErrorDetail e = fault({"a"}, "m", c.start.line, c.start.column);
    e.end = c.end;
    const auto run = sarif_run({{"a.yaml", c.text, {&e, 1}}});
    const auto& region = run["results"][0]["locations"][0]["physicalLocation"]["region"];
    EXPECT_EQ(region["startLine"], c.start.line);
    // 0: none given at all.
    EXPECT_EQ(region.value("startColumn", 0u), c.start_column);
    EXPECT_EQ(region.contains("startColumn"), c.start_column != 0);
    EXPECT_EQ(region["endLine"], c.end.line);
    EXPECT_EQ(region.value("endColumn", 0u), c.end_column);
    EXPECT_EQ(region.contains("endColumn"), c.end_column != 0);
  }
}

// A stray byte from a document never aborts the SARIF log: it is replaced.
TEST(Reporters, SarifReplacesInvalidBytes) {
  const std::vector<core::ErrorDetail> faults{fault({"a"}, "bad \xFF byte", 0, 0)};
  std::ostringstream out;
  report::SarifReporter reporter(out, "9.9");
  reporter.report({"a.yaml", "", faults});
  reporter.finish();
  const auto run = nlohmann::ordered_json::parse(out.str())["runs"][0];
  EXPECT_EQ(run["results"][0]["message"]["text"], "a: bad \xEF\xBF\xBD byte");
}

}  // namespace
