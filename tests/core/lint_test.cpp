// Lint: which warnings a valid document gets, where, with what fix; switched off per load and
// per file; the same from a file read in pieces as from its whole text.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>
#include <unistd.h>

#include "tarnwick/core/load.hpp"

namespace tarnwick::core {
namespace {

namespace fs = std::filesystem;

const std::string kHead =
    "terraform: {terraform_output: /o, terraform_version: '1', corvane_provider: '2', "
    "aws_provider: '3'}\n"
    "corvane: {controller_ip: 10.0.0.1, controller_account: '111'}\n"
    "account_info:\n";

// One VPC as a flow mapping, on a line of its own at the VPCs' indentation.
std::string vpc(const std::string& id, const std::string& more = "") {
  return "          - {vpc_id: " + id + ", crvn_cidr: 10.1.0.0/24, spoke_gw_name: s, " +
         "transit_gw_name: t" + more + "}\n";
}
std::string account(const std::string& id, const std::string& more = "") {
  return "  - account_id: '" + id + "'\n" + more + "    regions:\n";
}
std::string region(const std::string& name) {
  return "      - region: " + name + "\n        vpcs:\n";
}

// Each warning as "rule line:column", then " -> fix" when it has a safe one (" ~> fix" when it
// changes the value), then " @ related line".
std::vector<std::string> shown(const std::vector<ErrorDetail>& warnings) {
  std::vector<std::string> out;
  for (const ErrorDetail& w : warnings) {
    std::string s = std::string(w.rule_id()) + " " + std::to_string(w.mark.line) + ":" +
                    std::to_string(w.mark.column);
    if (w.fix) s += (w.fix->applicability == Applicability::safe ? " -> " : " ~> ") + w.fix->text;
    for (const Related& r : w.related) s += " @ " + std::to_string(r.start.line);
    out.push_back(s);
  }
  return out;
}

class TempFile {
 public:
  explicit TempFile(const std::string& text)
      : path_(fs::temp_directory_path() /
              ("tarnwick-lint-" + std::to_string(::getpid()) + ".yaml")) {
    std::ofstream(path_) << text;
  }
  ~TempFile() { fs::remove(path_); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

LintSet with_truthy() {
  return LintSet::defaults().add(LintRule::truthy);
}

TEST(Lint, WarningsAtThePlaceToActWithTheirFixes) {
  const std::string one = account("111122223333") + region("us-east-1");
  const std::string big(70'000, 'x');  // comment lines past what a file's first piece holds
  // An ignore line that a file's first piece (64 KiB) cuts after a rule's id, where the line
  // goes on to name no rule at all.
  const std::string cut_line = "# tarnwick-config: ignore account-id-digits";
  const std::string cut = "#" + std::string(65'536 - cut_line.size() - 2, ' ') + "\n" + cut_line;
  const struct Case {
    const char* name;
    std::string text;
    LintSet rules;
    std::vector<std::string> expected;
  } cases[] = {
      {"clean", kHead + one + vpc("vpc-1") + vpc("vpc-2"), LintSet::defaults(), {}},
      {"vpc twice in a region, then a third time",
       kHead + one + vpc("vpc-1") + vpc("vpc-2") + vpc("vpc-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {"duplicate-vpc-id 10:22 @ 8", "duplicate-vpc-id 11:22 @ 8"}},
      {"two ids twice, past a region without VPCs: in document order",
       kHead + one + vpc("vpc-q1") + vpc("vpc-a7") + vpc("vpc-zz") +
           "      - region: us-east-2\n        vpcs: []\n" + region("us-west-1") + vpc("vpc-a7") +
           vpc("vpc-zz") + vpc("vpc-q1"),
       LintSet::defaults(),
       {"duplicate-vpc-id 15:22 @ 9", "duplicate-vpc-id 16:22 @ 10", "duplicate-vpc-id 17:22 @ 8"}},
      {"vpc twice across accounts (and an account twice)",
       kHead + one + vpc("vpc-1") + account("111122223333") + region("us-east-2") + vpc("vpc-1"),
       LintSet::defaults(),
       {"duplicate-account-id 9:17 @ 4", "duplicate-vpc-id 13:22 @ 8"}},
      {"region twice in one account, once in another",
       kHead + one + vpc("vpc-1") + region("us-east-1") + vpc("vpc-2") + account("222233334444") +
           region("us-east-1") + vpc("vpc-3"),
       LintSet::defaults(),
       {"duplicate-region 9:17 @ 6"}},
      {"account ids not 12 digits",
       kHead + account("123") + region("us-east-1") + vpc("vpc-1") + account("0123456789012") +
           region("us-east-1") + vpc("vpc-2"),
       LintSet::defaults(),
       {"account-id-digits 4:17", "account-id-digits 9:17"}},
      {"bare address in network lists, not in a single network",
       kHead + account("111122223333", "    filter_cidrs: [10.0.0.0/8, 10.2.0.7]\n") +
           region("us-east-1") +
           "          - {vpc_id: v, crvn_cidr: 10.1.0.9, spoke_gw_name: s, transit_gw_name: t,\n"
           "             spoke_routes: ['10.3.0.1', 10.4.0.0/255.255.0.0]}\n",
       LintSet::defaults(),
       {"bare-address 5:32 ~> 10.2.0.7/32", "bare-address 10:29 ~> 10.3.0.1/32"}},
      {"truthy off by default",
       kHead + account("111122223333", "    hpe: yes\n") + region("us-east-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {}},
      {"truthy asked for: plain and quoted, any case; true, y and 1 pass",
       kHead +
           account("111122223333", "    hpe: yes\n    managed_tgw: 'OFF'\n    add_account: y\n") +
           region("us-east-1") + vpc("vpc-1", ", encrypt: On, inspection: true, spoke_ha: 1"),
       with_truthy(),
       {"truthy 5:10 -> true", "truthy 6:18 -> false", "truthy 11:100 -> true"}},
      {"no lint asked for: the library's load",
       kHead + account("12") + region("us-east-1") + vpc("vpc-1") + vpc("vpc-1"),
       LintSet{},
       {}},
      {"a document with a fault: what converting saw, not the rules that read records",
       kHead + account("12", "    hpe: yes\n    filter_cidrs: [10.2.0.7]\n") + region("us-east-9") +
           vpc("vpc-1", ", spoke_routes: [10.3.0.1]") + vpc("vpc-1"),
       with_truthy(),
       {"truthy 5:10 -> true", "bare-address 6:20 ~> 10.2.0.7/32",
        "bare-address 10:106 ~> 10.3.0.1/32"}},
      {"a faulty document's VPC list overridden by a repeated key: its items are not linted",
       kHead + one + vpc("vpc-1", ", spoke_routes: [10.9.9.9]") + "        vpcs:\n" +
           vpc("vpc-5", ", crvn_cidr: 10.1.0.1/33"),
       LintSet::defaults(),
       {}},
      {"turned off by the comment lines at the top; an id of no rule warned at",
       "# tarnwick-config: discovery-only\n#\n\n# tarnwick-config: ignore duplicate-vpc-id,"
       "account-id-digits , nonsense\n" +
           kHead + account("12") + region("us-east-1") + vpc("vpc-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {"unknown-lint-rule 4:64"}},
      {"an id misspelt: warned at with the rule meant, which still warns",
       "# tarnwick-config: ignore duplicat-vpc-id\n" + kHead + one + vpc("vpc-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {"unknown-lint-rule 1:27 -> duplicate-vpc-id", "duplicate-vpc-id 10:22 @ 9"}},
      {"an id as near to two rules as to each other: no fix",
       "# tarnwick-config: ignore duplicate-re-id\n" + kHead + one + vpc("vpc-1"),
       LintSet::defaults(),
       {"unknown-lint-rule 1:27"}},
      {"ids of no rule are not looked for without lint",
       "# tarnwick-config: ignore duplicat-vpc-id\n" + kHead + one + vpc("vpc-1"),
       LintSet{},
       {}},
      {"a comment past the top turns nothing off",
       kHead + "# tarnwick-config: ignore account-id-digits\n" + account("12") +
           region("us-east-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {"account-id-digits 5:17"}},
      {"the top comments longer than a file's first piece",
       "#" + big + "\n# tarnwick-config: ignore account-id-digits\n" + kHead + account("12") +
           region("us-east-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {}},
      {"an ignore line cut by the first piece",
       cut + "s\n" + kHead + account("12") + region("us-east-1") + vpc("vpc-1"),
       LintSet::defaults(),
       {"unknown-lint-rule 2:27 -> account-id-digits", "account-id-digits 6:17"}},
      {"the comment turns off what is seen in streamed items too",
       "# tarnwick-config: ignore bare-address\n" + kHead + one +
           vpc("vpc-1", ", spoke_routes: [10.9.9.9]"),
       LintSet::defaults(),
       {}},
      {"a VPC list overridden by a repeated key: its items are not linted",
       kHead + one + vpc("vpc-1", ", spoke_routes: [10.9.9.9]") + vpc("vpc-1") + "        vpcs:\n" +
           vpc("vpc-5"),
       LintSet::defaults(),
       {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const LoadOptions options{.mode_comment = true, .lint = c.rules};
    const LoadResult loaded = load(Source::text(c.text), options);
    std::vector<ErrorDetail> lint;
    for (const ErrorDetail& w : loaded.warnings) {
      if (w.rule_id() != kind::kDuplicateKey) lint.push_back(w);
    }
    EXPECT_EQ(shown(lint), c.expected);
    for (const ErrorDetail& w : lint) EXPECT_EQ(w.severity, Severity::warning);
    // A file read in pieces, its text not kept, says the same.
    TempFile file(c.text);
    LoadOptions pieced = options;
    pieced.keep_text = false;
    const LoadResult from_file = load(Source::file(file.path()), pieced);
    EXPECT_EQ(shown(from_file.warnings), shown(loaded.warnings));
    EXPECT_EQ(from_file.config, loaded.config);
  }
}

// The rules that read records give their warnings in document order themselves (under strict
// they are faults in the order made).
TEST(Lint, RecordsGiveDuplicatesInDocumentOrder) {
  std::string text = kHead + account("111122223333") + region("us-east-1");
  for (const char* id :
       {"vpc-q1", "vpc-a7", "vpc-zz", "vpc-m3", "vpc-a7", "vpc-zz", "vpc-q1", "vpc-m3", "vpc-q1"}) {
    text += vpc(id);
  }
  LoadResult loaded = load(Source::text(text));
  ASSERT_TRUE(loaded.config);
  std::vector<std::int64_t> later;
  for (const ErrorDetail& w : lint_records(*loaded.config, LintSet::defaults())) {
    later.push_back(std::get<std::int64_t>(w.loc.at(5)));
  }
  EXPECT_EQ(later, (std::vector<std::int64_t>{4, 5, 6, 7, 8}));
}

TEST(Lint, MessagesSayWhatAndWhy) {
  const std::string text = kHead + account("123") + region("us-east-1") +
                           vpc("vpc-1", ", spoke_routes: [10.3.0.1]") + vpc("vpc-1") +
                           region("us-east-1") + vpc("vpc-2") + account("123") +
                           region("us-east-1") + vpc("vpc-3");
  const LoadResult loaded = load(Source::text(text), {.lint = LintSet::defaults()});
  std::vector<std::string> messages;
  for (const ErrorDetail& w : loaded.warnings) messages.push_back(w.msg);
  EXPECT_EQ(messages,
            (std::vector<std::string>{
                "account id '123' has 3 digits: an AWS account id has exactly 12",
                "'10.3.0.1' has no prefix length and is read as 10.3.0.1/32, a single host: "
                "write the prefix length",
                "vpc_id 'vpc-1' is listed twice (first in account 123, region us-east-1): the "
                "VPC would be migrated twice",
                "region 'us-east-1' is listed twice in account 123: its VPCs belong under one "
                "entry",
                "account id '123' has 3 digits: an AWS account id has exactly 12",
                "account '123' is listed twice (first as item 0 of account_info): its regions "
                "belong under one entry",
            }));
  ASSERT_FALSE(loaded.warnings[2].related.empty());
  EXPECT_EQ(loaded.warnings[2].related[0].loc,
            (Loc{"account_info", std::int64_t{0}, "regions", std::int64_t{0}, "vpcs",
                 std::int64_t{0}, "vpc_id"}));
  // A very long value is cut where messages quote it.
  const std::string long_id(200, '7');
  const LoadResult cut =
      load(Source::text(kHead + account(long_id) + region("us-east-1") + vpc("vpc-1")),
           {.lint = LintSet::defaults()});
  ASSERT_EQ(cut.warnings.size(), 1u);
  EXPECT_EQ(cut.warnings[0].msg, "account id '" + long_id.substr(0, 64) +
                                     "...' has 200 digits: an AWS account id has exactly 12");
  // So is an id of the ignore comment, which may be a line's whole rest.
  const LoadResult named =
      load(Source::text("# tarnwick-config: ignore " + long_id + "\n" + kHead +
                        account("111122223333") + region("us-east-1") + vpc("vpc-1")),
           {.lint = LintSet::defaults()});
  ASSERT_EQ(named.warnings.size(), 1u);
  EXPECT_EQ(named.warnings[0].msg,
            "unknown lint rule '" + long_id.substr(0, 64) +
                "...' (rules: duplicate-vpc-id, duplicate-account-id, duplicate-region, "
                "account-id-digits, bare-address, truthy)");
}

TEST(Lint, StrictMakesThemFaultsAfterTheDocumentsOwn) {
  const std::string text =
      kHead + account("123") + region("us-east-1") + vpc("vpc-1") + "alert: {}\nalert: {}\n";
  const LoadResult lenient = load(Source::text(text), {.lint = LintSet::defaults()});
  EXPECT_TRUE(lenient.config);
  EXPECT_EQ(lenient.warnings.size(), 2u);
  const LoadResult strict =
      load(Source::text(text),
           {.strict_duplicates = true, .lint = LintSet::defaults(), .strict_lint = true});
  EXPECT_FALSE(strict.config);
  EXPECT_TRUE(strict.warnings.empty());
  ASSERT_EQ(strict.faults().size(), 2u);
  EXPECT_EQ(strict.faults()[0].rule_id(), kind::kDuplicateKey);
  EXPECT_EQ(strict.faults()[1].rule_id(), "account-id-digits");
  EXPECT_EQ(strict.faults()[1].severity, Severity::error);
  EXPECT_EQ(strict.faults()[1].mark.line, 4);
  // Only the lint rules asked for are made faults: a clean document stays valid.
  EXPECT_TRUE(
      load(Source::text(kHead + account("111122223333") + region("us-east-1") + vpc("vpc-1")),
           {.lint = LintSet::defaults(), .strict_lint = true})
          .config);
}

TEST(Lint, RuleIdsAndTheIgnoreComment) {
  EXPECT_EQ(lint_rule("bare-address"), LintRule::bare_address);
  EXPECT_FALSE(lint_rule("bare_address"));
  EXPECT_FALSE(LintSet::defaults().has(LintRule::truthy));
  EXPECT_TRUE(LintSet::defaults().has(LintRule::duplicate_vpc_id));
  // Each unknown id as "id line:column-end".
  const struct {
    std::string head;
    bool whole;
    bool truthy_ignored, complete;
    std::vector<std::string> unknown;
  } cases[] = {
      {"# tarnwick-config: ignore truthy\nterraform: {}\n", true, true, true, {}},
      {"\xEF\xBB\xBF# tarnwick-config:ignore truthy\n", true, true, true, {}},
      {"  #tarnwick-config:  ignore  truthy,truthi,\r\n", true, true, true, {"truthi 1:37-43"}},
      {"# tarnwick-config: ignored truthy\n", true, false, true, {}},
      {"a: 1\n# tarnwick-config: ignore truthy\n", true, false, true, {}},
      {"# tarnwick-config: ignore truthy", true, true, true, {}},     // the whole text
      {"# tarnwick-config: ignore truthy", false, false, false, {}},  // may go on
      {"# a comment\na: 1", false, false, true, {}},                  // the document began
      // Lines end where the reader ends them; columns count characters, not the byte-order mark.
      {"\xEF\xBB\xBF#\r\n\r# tarnwick-config: ignore truthi\ra: 1\r# tarnwick-config: ignore x\r",
       true,
       false,
       true,
       {"truthi 3:27-33"}},
      {"# \xC3\xA9t\xC3\xA9\n#\ttarnwick-config: ignore\tnul, \xC3\xA9t\xC3\xA9, truthy ,\n",
       true,
       true,
       true,
       {"nul 2:27-30", "\xC3\xA9t\xC3\xA9 2:32-35"}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.head);
    const IgnoreComment read = ignore_comment(c.head, c.whole);
    EXPECT_EQ(read.ignored.has(LintRule::truthy), c.truthy_ignored);
    EXPECT_EQ(read.complete, c.complete);
    std::vector<std::string> unknown;
    for (const IgnoreComment::Unknown& u : read.unknown) {
      unknown.push_back(u.id + " " + std::to_string(u.line) + ":" + std::to_string(u.column) + "-" +
                        std::to_string(u.end_column));
    }
    EXPECT_EQ(unknown, c.unknown);
  }
  // A text stopped before validation gets its one fault, not the comment's warnings.
  for (const char* text : {"# tarnwick-config: ignore truthi\n- a\n",
                           "# tarnwick-config: ignore truthi\na: 'open\n"}) {
    const LoadResult loaded = load(Source::text(text), {.lint = LintSet::defaults()});
    EXPECT_TRUE(loaded.fatal) << text;
    EXPECT_TRUE(loaded.warnings.empty()) << text;
  }
}

}  // namespace
}  // namespace tarnwick::core
