// tarnwick-config run as a process: exit status, standard output and standard error.
#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/run_tool.hpp"

namespace {

namespace fs = std::filesystem;
using J = nlohmann::ordered_json;

using tarnwick::testing::Outcome;
using tarnwick::testing::slurp;

Outcome run(const std::string& args, const std::string* input = nullptr) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args, input);
}

std::string example(const char* name) {
  return std::string("'") + TARNWICK_SOURCE_DIR + "/examples/" + name + "'";
}

TEST(Cli, ValidDocumentIsSilentOnStandardOutput) {
  Outcome r = run("check " + example("full.yaml"));
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("full.yaml: valid (2 accounts, 3 regions, 5 VPCs)"), std::string::npos);

  r = run("check --discovery-only " + example("discovery_minimal.yaml"));
  EXPECT_EQ(r.status, 0) << r.out << r.err;
  EXPECT_EQ(run("check " + example("discovery_minimal.yaml")).status, 1);
}

TEST(Cli, FaultsAsJsonOnStandardOutput) {
  Outcome r = run("check " + example("invalid.yaml"));
  EXPECT_EQ(r.status, 1);
  const J errors = J::parse(r.out);
  ASSERT_TRUE(errors.is_array());
  EXPECT_EQ(errors.size(), 12u);
  EXPECT_EQ(errors[0]["loc"], J::parse(R"(["id"])"));
  EXPECT_EQ(errors[0]["line"], 3);
  EXPECT_EQ(r.out.back(), '\n');
}

TEST(Cli, FaultsAsTextWithTheSourceLine) {
  Outcome r = run("check --format text " + example("invalid.yaml"));
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("invalid.yaml:10:18: error: corvane.controller_ip: value is not a valid "
                       "IPv4 address\n    controller_ip: 10.10.0.300\n                   ^\n"),
            std::string::npos)
      << r.err;
  EXPECT_EQ(r.err.find('\033'), std::string::npos);  // no colour when not a terminal
}

TEST(Cli, DumpPrintsEveryField) {
  Outcome r = run("dump " + example("full.yaml"));
  ASSERT_EQ(r.status, 0) << r.err;
  const J d = J::parse(r.out);
  EXPECT_EQ(d.begin().key(), "id");
  EXPECT_EQ(d["terraform"]["tf_cloud"]["tags"], R"(["tarnwick", "wave3"])");
  EXPECT_EQ(d["account_info"][1]["regions"][0]["vpcs"][1]["retain_peering_cidrs"],
            J::parse(R"(["0.0.0.0/0"])"));
  EXPECT_EQ(run("dump " + example("invalid.yaml")).status, 1);
}

TEST(Cli, StandardInput) {
  const std::string doc = slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  Outcome r = run("check -", &doc);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("<stdin>: valid"), std::string::npos);
}

TEST(Cli, DuplicateKeysWarnAndFailUnderStrict) {
  std::string doc = slurp(fs::path(TARNWICK_SOURCE_DIR) / "examples/full.yaml");
  const auto last_line = std::count(doc.begin(), doc.end(), '\n') + 1;
  doc += "label: again\n";
  Outcome r = run("check -", &doc);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("<stdin>:" + std::to_string(last_line) +
                       ":1: warning: duplicate key 'label' (first at line 4, column 1)"),
            std::string::npos)
      << r.err;

  r = run("check --strict -", &doc);
  EXPECT_EQ(r.status, 1);
  const J errors = J::parse(r.out);
  ASSERT_EQ(errors.size(), 1u);
  EXPECT_EQ(errors[0]["loc"], J::parse(R"(["label"])"));
  EXPECT_EQ(errors[0]["type"], "value_error.duplicate_key");
}

struct FatalCase {
  const char* args;
  const char* input;  // nullptr: no standard input
  const char* says;
};

void PrintTo(const FatalCase& f, std::ostream* os) {
  *os << f.args;
}

class CliFatal : public ::testing::TestWithParam<FatalCase> {};

TEST_P(CliFatal, OneLineOnStandardErrorAndStatus2) {
  const FatalCase& f = GetParam();
  const std::string input = f.input ? f.input : "";
  Outcome r = run(f.args, f.input ? &input : nullptr);
  EXPECT_EQ(r.status, 2) << r.err;
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(r.err.starts_with("tarnwick-config: error: ")) << r.err;
  EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << r.err;
  EXPECT_NE(r.err.find(f.says), std::string::npos) << r.err;
}

INSTANTIATE_TEST_SUITE_P(
    Table, CliFatal,
    ::testing::Values(FatalCase{"", nullptr, "subcommand"}, FatalCase{"check", nullptr, "FILE"},
                      FatalCase{"check --format xml -", "", "xml"},
                      FatalCase{"check /nonexistent/doc.yaml", nullptr,
                                "No such file or directory"},
                      FatalCase{"check /", nullptr, "Is a directory"},
                      FatalCase{"check -", "", "config_dict must be a mapping, not null"},
                      FatalCase{"check -", "- a\n", "not sequence"},
                      FatalCase{"dump -", "a: 'open\n", "<stdin>:1:4"},
                      FatalCase{"check -", "a: 1\n---\nb: 2\n", "expected a single document"},
                      FatalCase{"check -", "a: !Ref x\n", "!Ref"}));

TEST(Cli, HelpAndVersion) {
  Outcome r = run("--help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("check"), std::string::npos);
  r = run("check --help");
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.out.find("--discovery-only"), std::string::npos);
  r = run("--version");
  EXPECT_EQ(r.status, 0);
  EXPECT_TRUE(r.out.starts_with("tarnwick-config ")) << r.out;
}

}  // namespace
