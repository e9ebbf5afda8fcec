// The tool's lint warnings as a process: every format, switched by option, faults under --strict;
// the ignore comment's unknown ids; a faulty document's warnings.
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "support/run_tool.hpp"

namespace {

using J = nlohmann::ordered_json;
using tarnwick::testing::Outcome;

Outcome run(const std::string& args, const std::string* input = nullptr) {
  return tarnwick::testing::run_tool(TARNWICK_CONFIG_BIN, args, input);
}

const std::string kDoc =
    "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2',\n"
    "            aws_provider: '3'}\n"
    "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
    "account_info:\n  - account_id: '123'\n    hpe: yes\n    filter_cidrs: [10.0.0.1]\n"
    "    regions: [{region: us-east-1, vpcs: [{vpc_id: v, crvn_cidr: 10.1.0.0/24,\n"
    "                                          spoke_gw_name: s, transit_gw_name: t}]}]\n";

std::string rules(const Outcome& r) {
  std::string out;
  for (const J& w : J::parse(r.out)) out += w["rule"].get<std::string>() + " ";
  return out;
}

// Lint warnings in every format, switched by option; faults under --strict.
TEST(Cli, LintWarnsInEveryFormatUnlessIgnored) {
  const std::string& doc = kDoc;
  Outcome r = run("check -", &doc);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(rules(r), "account-id-digits bare-address ");
  EXPECT_EQ(J::parse(r.out)[1]["severity"], "warning");
  EXPECT_EQ(J::parse(r.out)[1]["line"], 7);
  EXPECT_EQ(rules(run("check --enable truthy -", &doc)), "account-id-digits truthy bare-address ");
  EXPECT_EQ(run("check --ignore account-id-digits --ignore=bare-address -", &doc).out, "[]\n");
  EXPECT_EQ(rules(run("check --enable truthy --ignore truthy -", &doc)),
            "account-id-digits bare-address ");
  r = run("check --strict -", &doc);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(J::parse(r.out)[0]["severity"], "error");
  r = run("check --format github -", &doc);
  EXPECT_TRUE(r.out.starts_with("::warning file=<stdin>,line=5,col=17,endLine=5,endColumn=22"))
      << r.out;
  r = run("check --format concise -", &doc);
  EXPECT_NE(r.out.find("<stdin>:7:20: warning: account_info.0.filter_cidrs.0: '10.0.0.1' has "),
            std::string::npos)
      << r.out;
  const J sarif = J::parse(run("check --format sarif -", &doc).out)["runs"][0];
  EXPECT_EQ(sarif["results"][0]["level"], "warning");
  EXPECT_EQ(sarif["tool"]["driver"]["rules"][sarif["results"][0]["ruleIndex"].get<int>()]["id"],
            "account-id-digits");
  r = run("dump -", &doc);
  EXPECT_EQ(r.status, 0);
  EXPECT_NE(r.err.find("warning: account_info.0.account_id"), std::string::npos) << r.err;
}

// A misspelt id in the ignore comment: warned at the id in the words of --ignore's usage error,
// and the rule meant still warns.
TEST(Cli, UnknownIdOfTheIgnoreCommentWarnsAtTheId) {
  const std::string misspelt = "# tarnwick-config: ignore account-id-digit\n" + kDoc;
  const std::string usage = run("check --ignore account-id-digit -", &kDoc).err;
  Outcome r = run("check -", &misspelt);
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(rules(r), "unknown-lint-rule account-id-digits bare-address ");
  const J unknown = J::parse(r.out)[0];
  EXPECT_EQ(unknown["msg"],
            "unknown lint rule 'account-id-digit'; did you mean "
            "'account-id-digits'? (rules: duplicate-vpc-id, duplicate-account-id, "
            "duplicate-region, account-id-digits, bare-address, truthy)");
  EXPECT_NE(usage.find(unknown["msg"].get<std::string>()), std::string::npos) << usage;
  EXPECT_EQ(unknown["loc"], J::array());
  EXPECT_EQ(std::vector<int>({unknown["line"], unknown["column"], unknown["end_column"]}),
            std::vector<int>({1, 27, 43}));
  r = run("check --format text -", &misspelt);
  EXPECT_TRUE(r.err.starts_with("<stdin>:1:27: warning: unknown lint rule 'account-id-digit';"))
      << r.err;
  r = run("check --strict -", &misspelt);
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(rules(r), "unknown-lint-rule bare-address account-id-digits ");
  EXPECT_EQ(J::parse(r.out)[0]["severity"], "error");
}

// A faulty document keeps the warnings seen while converting, in every format; the rules that
// read the records wait, and the note on skipped checks names them.
TEST(Cli, FaultyDocumentsKeepTheWarningsOfConversion) {
  std::string doc = kDoc + "config: {}\n";
  doc.replace(doc.find("us-east-1"), 9, "us-east-9");
  const std::string waiting =
      "did not run either (duplicate-vpc-id, duplicate-account-id, duplicate-region, "
      "account-id-digits)";
  const struct {
    const char* format;
    std::string warned;
  } cases[] = {
      {"json", "\"rule\": \"bare-address\""},
      {"text", "<stdin>:7:20: warning: account_info.0.filter_cidrs.0: '10.0.0.1' has no prefix"},
      {"concise", "<stdin>:7:20: warning: account_info.0.filter_cidrs.0: '10.0.0.1' has no "},
      {"github", "::warning file=<stdin>,line=7,col=20,"},
      {"sarif", "\"ruleId\": \"bare-address\""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.format);
    const Outcome r = run(std::string("check --format ") + c.format + " -", &doc);
    EXPECT_EQ(r.status, 1);
    const std::string& said = std::string(c.format) == "text" ? r.err : r.out;
    EXPECT_NE(said.find(c.warned), std::string::npos) << said;
    EXPECT_NE(said.find(waiting), std::string::npos) << said;
    EXPECT_EQ(said.find("has 3 digits"), std::string::npos) << said;  // the rule waited
  }
}

}  // namespace
