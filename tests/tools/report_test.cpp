// The tool's reporters on fixed faults: the class each format gets, and what each one writes.
#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <typeindex>
#include <vector>

#include <gtest/gtest.h>

#include <nlohmann/json.hpp>

#include "report/colour.hpp"
#include "report/concise_reporter.hpp"
#include "report/fanout_reporter.hpp"
#include "report/field_help.hpp"
#include "report/github_reporter.hpp"
#include "report/json_reporter.hpp"
#include "report/sarif_reporter.hpp"
#include "report/text_reporter.hpp"
#include "support/report_fault.hpp"
#include "support/run_tool.hpp"
#include "tarnwick/core/rules.hpp"
#include "tarnwick/yaml/node_ends.hpp"

namespace {

namespace core = tarnwick::core;
namespace report = tarnwick::report;

using tarnwick::testing::fault;

TEST(Reporters, EachFormatNameGetsItsClass) {
  const struct {
    const char* name;
    std::type_index type;
  } cases[] = {{"json", typeid(report::JsonReporter)},
               {"text", typeid(report::TextReporter)},
               {"sarif", typeid(report::SarifReporter)},
               {"github", typeid(report::GithubReporter)},
               {"concise", typeid(report::ConciseReporter)}};
  ASSERT_EQ(report::format_names().size(), std::size(cases));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto& names = report::format_names();
    const auto it =
        std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == c.name; });
    ASSERT_NE(it, names.end());
    const auto reporter = report::make_reporter(it->second);
    ASSERT_NE(reporter, nullptr);
    EXPECT_EQ(std::type_index(typeid(*reporter)), c.type);
  }
}

TEST(Reporters, TextInSourceOrderWithCaretHelpAndTotal) {
  const std::string longest = "e: " + std::string(997, 'x');  // the longest line quoted
  const std::string text = "a: 1\n\tb: x\r\nc: \xC3\xA9" "2\nd: " + std::string(1001, 'x') + "\n" +
                           longest + "\n\xC3\xA9\tx\n";
  std::vector<core::ErrorDetail> faults{
      fault({"c"}, "after a two-byte character", 3, 5),
      fault({"b"}, "after a tab, before a CR", 2, 5),
      fault({"items", std::int64_t{0}}, "no position", 0, 0),
      fault({"d"}, "too long to quote", 4, 4),
      fault({}, "past the end", 9, 1),
      fault({"e"}, "no position either", 0, 0),
      fault({"e"}, "a long line", 5, 1),
      fault({"f"}, "after a two-byte character and a tab", 6, 3)};
  faults[1].hint = "write it without the tab";
  const struct {
    bool colour;
    std::size_t faults;
    std::string expected;
  } cases[] = {
      {false, faults.size(),
       "doc.yaml:2:5: error: b: after a tab, before a CR [value_error]\n  \tb: x\n  \t   ^\n"
       "  help: write it without the tab\n"
       "doc.yaml:3:5: error: c: after a two-byte character [value_error]\n  c: \xC3\xA9"
       "2\n      ^\n"
       "doc.yaml:4:4: error: d: too long to quote [value_error]\n  (line 4 is 1004 bytes long)\n"
       "doc.yaml:5:1: error: e: a long line [value_error]\n  " + longest + "\n  ^\n"
       "doc.yaml:6:3: error: f: after a two-byte character and a tab [value_error]\n  \xC3\xA9\tx\n   \t^\n"
       "doc.yaml:9:1: error: past the end [value_error]\n  \n  ^\n"
       "doc.yaml: error: items.0: no position [value_error]\n"
       "doc.yaml: error: e: no position either [value_error]\n"
       "8 errors\n"},
      {true, 1,
       "\033[1mdoc.yaml:3:5:\033[0m \033[1;31merror:\033[0m \033[1mc:\033[0m after a two-byte "
       "character [value_error]\n  c: \xC3\xA9"
       "2\n      \033[1;32m^\033[0m\n1 error\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.colour);
    std::ostringstream out;
    report::TextReporter reporter(out, c.colour);
    reporter.report({"doc.yaml", text, {faults.data(), c.faults}});
    reporter.finish();
    EXPECT_EQ(out.str(), c.expected);
  }
}

// Colour only on a terminal, and not there either when NO_COLOR is set: standard error is
// pointed at a pseudo-terminal, or at /dev/null, for each case. A machine without
// pseudo-terminals (a container or chroot without /dev/pts) skips it.
TEST(Reporters, ColourOnATerminalUnlessNoColorIsSet) {
  const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
  const char* const name =
      master >= 0 && ::grantpt(master) == 0 && ::unlockpt(master) == 0 ? ::ptsname(master) : nullptr;
  const int terminal = name ? ::open(name, O_RDWR | O_NOCTTY) : -1;
  if (terminal < 0) {
    const std::string reason = std::strerror(errno);
    if (master >= 0) ::close(master);
    GTEST_SKIP() << "no pseudo-terminal on this machine: " << reason;
  }
  const int null = ::open("/dev/null", O_WRONLY);
  ASSERT_GE(null, 0);
  const char* const kept = std::getenv("NO_COLOR");
  const std::string before = kept ? kept : "";
  const struct {
    bool terminal;
    const char* no_color;  // nullptr: unset
    bool colour;
  } cases[] = {{true, nullptr, true}, {true, "1", false},
               {false, nullptr, false}, {false, "1", false}};
  const int saved = ::dup(STDERR_FILENO);
  for (const auto& c : cases) {
    if (c.no_color) {
      ::setenv("NO_COLOR", c.no_color, 1);
    } else {
      ::unsetenv("NO_COLOR");
    }
    ::dup2(c.terminal ? terminal : null, STDERR_FILENO);
    const bool colour = report::colour_on_stderr();
    ::dup2(saved, STDERR_FILENO);
    EXPECT_EQ(colour, c.colour) << c.terminal << " " << (c.no_color ? c.no_color : "unset");
  }
  if (kept) {
    ::setenv("NO_COLOR", before.c_str(), 1);
  } else {
    ::unsetenv("NO_COLOR");
  }
  for (const int fd : {saved, terminal, null, master}) ::close(fd);
}

TEST(Reporters, TextGivesTheHintUnderItsFault) {
  core::ErrorDetail hinted = fault({"terraform_versoin"}, "extra fields not permitted", 1, 1);
  hinted.hint = "did you mean `terraform_version`?";
  const std::vector<core::ErrorDetail> faults{hinted, fault({"b"}, "no hint", 0, 0)};
  std::ostringstream out;
  report::TextReporter(out, false).report({"doc.yaml", "terraform_versoin: 1\n", faults});
  EXPECT_EQ(out.str(),
            "doc.yaml:1:1: error: terraform_versoin: extra fields not permitted [value_error]\n"
            "  terraform_versoin: 1\n  ^\n  help: did you mean `terraform_version`?\n"
            "doc.yaml: error: b: no hint [value_error]\n");
}

// Faults on one line by column; the last line quoted even without a line end; the total counts
// every document of the run.
TEST(Reporters, TextOrdersColumnsQuotesTheLastLineAndTotalsTheRun) {
  const std::vector<core::ErrorDetail> one{fault({"b"}, "second", 1, 7),
                                           fault({"a"}, "first", 1, 2)};
  const std::vector<core::ErrorDetail> two{fault({"c"}, "third", 0, 0),
                                           fault({"d"}, "fourth", 0, 0)};
  std::ostringstream out;
  report::TextReporter reporter(out, false);
  reporter.report({"a.yaml", "{a: 1, b: 2}", one});
  reporter.report({"b.yaml", "", two});
  reporter.report({"c.yaml", "", {}});
  reporter.finish();
  EXPECT_EQ(out.str(),
            "a.yaml:1:2: error: a: first [value_error]\n  {a: 1, b: 2}\n   ^\n"
            "a.yaml:1:7: error: b: second [value_error]\n  {a: 1, b: 2}\n        ^\n"
            "b.yaml: error: c: third [value_error]\nb.yaml: error: d: fourth [value_error]\n4 errors\n");
}

TEST(Reporters, JsonIsTheValidationErrorsArrayWithFileEndAndSeverity) {
  const std::string text = "a: [1, 2, 'caf\xC3\xA9']\nb: 5\n";
  std::vector<core::ErrorDetail> faults{fault({"a", std::int64_t{2}}, "caf\xC3\xA9", 1, 11),
                                        fault({"b"}, "bad \xFF byte", 0, 0)};
  faults[1].ctx = {{"limit", 3}};
  faults[0].end = {1, 17};  // the load places each fault
  {
    std::ostringstream empty;
    report::JsonReporter(empty).finish();
    EXPECT_EQ(empty.str(), "[]\n");  // nothing failed: still one JSON value
  }
  std::ostringstream out;
  report::JsonReporter reporter(out);
  reporter.report({"doc.yaml", text, faults});
  reporter.finish();
  const std::string written = out.str();
  // ASCII only, as ValidationError::json() writes it: the accent escaped, the bad byte replaced.
  EXPECT_TRUE(std::none_of(written.begin(), written.end(),
                           [](char c) { return static_cast<unsigned char>(c) >= 0x80; }));
  EXPECT_NE(written.find("caf\\u00e9"), std::string::npos);
  EXPECT_NE(written.find("bad \\ufffd byte"), std::string::npos);
  const auto got = nlohmann::ordered_json::parse(written);
  // Laid out as ValidationError::json() lays out its report: two spaces, a final newline.
  EXPECT_EQ(written, got.dump(2, ' ', true) + "\n");
  const auto base = core::ValidationError("Model", faults).to_json();
  ASSERT_EQ(got.size(), 2u);
  const struct {
    std::size_t i;
    nlohmann::ordered_json extra;
  } cases[] = {{0,
                {{"file", "doc.yaml"},
                 {"end_line", 1},
                 {"end_column", 17},
                 {"severity", "error"},
                 {"rule", "value_error"}}},
               {1, {{"file", "doc.yaml"}, {"severity", "error"}, {"rule", "value_error"}}}};
  for (const auto& c : cases) {
    auto expected = base[c.i];
    for (const auto& [k, v] : c.extra.items()) expected[k] = v;
    const auto text = [](const nlohmann::ordered_json& j) {
      return j.dump(-1, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
    };
    EXPECT_EQ(text(got[c.i]), text(expected));  // the same keys, in that order
  }
}

TEST(Reporters, NodeEndsAreTheOuterNodes) {
  const auto ends = tarnwick::yaml::node_ends("a:\n  b: xyz\n  c: [1, 22]\nd: *x\n");
  const struct {
    std::uint32_t line, column;
    std::optional<tarnwick::yaml::Mark> end;
  } cases[] = {{2, 6, {{2, 9}}},      // a scalar
               {3, 6, {{3, 13}}},     // a flow sequence
               {3, 10, {{3, 12}}},    // its item
               {2, 3, {{4, 1}}},      // a block mapping, not its first key
               {2, 4, std::nullopt},  // no node starts there
               {9, 1, std::nullopt}};
  for (const auto& c : cases) {
    SCOPED_TRACE(std::to_string(c.line) + ":" + std::to_string(c.column));
    EXPECT_EQ(ends.end_of({c.line, c.column}), c.end);
  }
}

TEST(Reporters, GithubEscapes) {
  const struct {
    const char* in;
    const char* message;
    const char* property;
  } cases[] = {{"plain text", "plain text", "plain text"},
               {"50% a:b,c", "50%25 a:b,c", "50%25 a%3Ab%2Cc"},
               {"one\r\ntwo", "one%0D%0Atwo", "one%0D%0Atwo"},
               {"%0A", "%250A", "%250A"}};
  for (const auto& c : cases) {
    EXPECT_EQ(report::escape_message(c.in), c.message);
    EXPECT_EQ(report::escape_property(c.in), c.property);
  }
  std::vector<core::ErrorDetail> faults{fault({"a", std::int64_t{0}}, "bad, really: 100%", 1, 5),
                                        fault({}, "no document", 0, 0)};
  faults[1].type = "document_error.not_mapping";
  faults[0].end = {1, 7};
  std::ostringstream out;
  report::GithubReporter(out).report({"dir/a,b.yaml", "a: [xy]\n", faults});
  EXPECT_EQ(out.str(),
            "::error file=dir/a%2Cb.yaml,line=1,col=5,endLine=1,endColumn=7,title=a.0::bad, "
            "really: 100%25\n"
            "::error file=dir/a%2Cb.yaml,title=document_error.not_mapping::no document\n");
  // A warning and a note are annotated at their own levels, among the errors in source order.
  std::vector<core::ErrorDetail> others{fault({"k"}, "twice", 2, 1), fault({"c"}, "skipped", 0, 0)};
  others[0].severity = core::Severity::warning;
  others[1].severity = core::Severity::note;
  const std::vector<core::ErrorDetail> later{fault({"z"}, "late", 3, 1)};
  std::ostringstream levels;
  report::GithubReporter(levels).report({"a.yaml", "", later, others});
  EXPECT_EQ(levels.str(),
            "::warning file=a.yaml,line=2,col=1,title=k::twice\n"
            "::error file=a.yaml,line=3,col=1,title=z::late\n"
            "::notice file=a.yaml,title=c::skipped\n");
  // A runner drops an annotation whose file starts with ./: the path is shown without it.
  std::ostringstream paths;
  for (const char* name : {"./dir/x.yaml", "././x.yaml", "/abs/x.yaml"}) {
    report::GithubReporter(paths).report({name, "", {faults.data() + 1, 1}});
  }
  EXPECT_EQ(paths.str(),
            "::error file=dir/x.yaml,title=document_error.not_mapping::no document\n"
            "::error file=x.yaml,title=document_error.not_mapping::no document\n"
            "::error file=/abs/x.yaml,title=document_error.not_mapping::no document\n");
}

TEST(Reporters, PathsAndUris) {
  const struct {
    const char* name;
    const char* shown;
    const char* uri;
  } cases[] = {
      {"a.yaml", "a.yaml", "a.yaml"},
      {"./a.yaml", "a.yaml", "a.yaml"},
      {"././m/a.yaml", "m/a.yaml", "m/a.yaml"},
      {".//a.yaml", "a.yaml", "a.yaml"},
      {"../a.yaml", "../a.yaml", "../a.yaml"},
      {".hidden/a.yaml", ".hidden/a.yaml", ".hidden/a.yaml"},
      {"m/./a.yaml", "m/./a.yaml", "m/./a.yaml"},
      {"/abs/a b.yaml", "/abs/a b.yaml", "file:///abs/a%20b.yaml"},
      {"//abs/%.yaml", "//abs/%.yaml", "file:///abs/%25.yaml"},
      {"/", "/", "file:///"},
      {"./", "./", "./"},  // nothing left: kept as given rather than an empty reference
      {"c:d.yaml", "c:d.yaml", "c%3Ad.yaml"},  // never read as a scheme
      {"<stdin>", "<stdin>", "%3Cstdin%3E"},
      {"dir/a b.yaml", "dir/a b.yaml", "dir/a%20b.yaml"},
      {"v2/a_b~c-9.yaml", "v2/a_b~c-9.yaml", "v2/a_b~c-9.yaml"},  // unreserved: kept
      {"caf\xC3\xA9.yaml", "caf\xC3\xA9.yaml", "caf%C3%A9.yaml"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(report::shown_path(c.name), c.shown);
    EXPECT_EQ(report::uri_of(c.name), c.uri);
  }
}

TEST(Reporters, ColourByModeTerminalAndEnvironment) {
  using report::ColourMode;
  const struct {
    ColourMode mode;
    report::ColourEnvironment env;  // terminal, NO_COLOR, FORCE_COLOR, TERM
    bool coloured;
  } cases[] = {
      {ColourMode::Auto, {true, nullptr, nullptr, "xterm"}, true},
      {ColourMode::Auto, {false, nullptr, nullptr, "xterm"}, false},
      {ColourMode::Auto, {true, "1", nullptr, "xterm"}, false},
      {ColourMode::Auto, {true, "", nullptr, "xterm"}, true},  // an empty NO_COLOR is no request
      {ColourMode::Auto, {true, nullptr, nullptr, "dumb"}, false},
      {ColourMode::Auto, {true, nullptr, nullptr, "dumber"}, true},
      {ColourMode::Auto, {true, nullptr, nullptr, nullptr}, true},
      {ColourMode::Auto, {false, nullptr, "1", nullptr}, true},
      {ColourMode::Auto, {false, nullptr, "", nullptr}, false},
      {ColourMode::Auto, {true, "1", "1", "dumb"}, true},  // forcing wins in auto
      {ColourMode::Always, {false, "1", nullptr, "dumb"}, true},
      {ColourMode::Never, {true, nullptr, "1", "xterm"}, false}};
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    SCOPED_TRACE(i);
    EXPECT_EQ(report::colour_wanted(cases[i].mode, cases[i].env), cases[i].coloured);
  }
  std::vector<std::string> names;
  for (const auto& [name, mode] : report::colour_mode_names()) names.push_back(name);
  EXPECT_EQ(names, (std::vector<std::string>{"auto", "always", "never"}));
}

TEST(Reporters, ConciseOneLinePerFaultInSourceOrder) {
  std::vector<core::ErrorDetail> faults{
      fault({"b", std::int64_t{0}}, "second", 2, 7), fault({"a"}, "first", 1, 1),
      fault({"c"}, "no position", 0, 0), fault({}, "the whole document", 3, 1),
      fault({"multi"}, "one\ntwo\r\nthree\rfour", 4, 2), fault({"config"}, "eips", 5, 1)};
  faults[0].hint = "did you mean `x`?";
  faults[5].rule = "check_config.eips_fit_ha_mode";
  // Each VPC the rule names is a line of its own; a place that is no finding, or has no
  // position, is not.
  faults[5].related = {{{}, "vpc a: one eip", {6, 3}, {}, true},
                       {{}, "only a place", {1, 1}, {}, false},
                       {{}, "vpc b: not placed", {}, {}, true}};
  std::ostringstream out;
  report::ConciseReporter reporter(out);
  reporter.report({"dir/doc.yaml", "a: 1\nb: [x]\n", faults});
  core::ErrorDetail fatal = fault({}, "while scanning: found a tab", 1, 4);
  fatal.type = core::kind::kMalformedYaml;
  reporter.report_fatal("other.yaml", fatal);
  reporter.finish();
  EXPECT_EQ(out.str(),
            "dir/doc.yaml:1:1: error: a: first [value_error]\n"
            "dir/doc.yaml:2:7: error: b.0: second (did you mean `x`?) [value_error]\n"
            "dir/doc.yaml:3:1: error: the whole document [value_error]\n"
            "dir/doc.yaml:4:2: error: multi: one two three four [value_error]\n"
            "dir/doc.yaml:5:1: error: config: eips [check_config.eips_fit_ha_mode]\n"
            "dir/doc.yaml:6:3: error: vpc a: one eip [check_config.eips_fit_ha_mode]\n"
            "dir/doc.yaml: error: c: no position [value_error]\n"
            "other.yaml:1:4: error: while scanning: found a tab [document_error.malformed_yaml]\n");
}

// Reports forwarded to each reporter in order; finishing goes on past a failure and names each.
TEST(Reporters, FanoutForwardsAndFinishesEveryReporter) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("tarnwick-fanout-" + std::to_string(::getpid()));
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  std::vector<core::ErrorDetail> faults{fault({"a"}, "bad", 1, 4)};
  faults[0].end = {1, 7};  // as the load places it
  struct Counting : report::Reporter {
    std::string* log;
    explicit Counting(std::string* l) : log(l) {}
    void report(const report::DocumentReport& d) override {
      *log += "report " + std::string(d.name) + ";";
    }
    void finish() override { *log += "finish;"; }
  };
  std::string log;
  std::vector<std::unique_ptr<report::Reporter>> all;
  all.push_back(
      std::make_unique<report::FileReporter>(report::Format::Json, dir / "no" / "a.json"));
  all.push_back(std::make_unique<Counting>(&log));
  all.push_back(std::make_unique<report::FileReporter>(report::Format::Text, dir / "b.txt"));
  all.push_back(std::make_unique<report::FileReporter>(report::Format::Github, dir / "c"));
  report::FanoutReporter fanout(std::move(all));
  fanout.report({"doc.yaml", "a: xyz\n", faults});
  fanout.report_fatal("gone.yaml", fault({}, "cannot read", 0, 0));
  try {
    fanout.finish();
    ADD_FAILURE() << "a file that cannot be written must fail the finish";
  } catch (const report::WriteError& e) {
    EXPECT_EQ(std::string(e.what()),
              "cannot write " + (dir / "no" / "a.json").string() + ": No such file or directory");
  }
  EXPECT_EQ(log, "report doc.yaml;report gone.yaml;finish;");
  // Text in a file: never coloured, the caller's own line stands for the fatal document.
  EXPECT_EQ(tarnwick::testing::slurp(dir / "b.txt"),
            "doc.yaml:1:4: error: a: bad [value_error]\n  a: xyz\n     ^\n1 error\n");
  EXPECT_EQ(tarnwick::testing::slurp(dir / "c"),
            "::error file=doc.yaml,line=1,col=4,endLine=1,endColumn=7,title=a::bad\n"
            "::error file=gone.yaml,title=value_error::cannot read\n");
  std::filesystem::remove_all(dir);
}

TEST(Reporters, FilesAreWrittenWholeOrNotAtAll) {
  namespace fs = std::filesystem;
  const fs::path dir = fs::temp_directory_path() / ("tarnwick-whole-" + std::to_string(::getpid()));
  fs::remove_all(dir);
  fs::create_directories(dir / "sub");
  std::ofstream(dir / "old.json") << "stale and longer than the new text";
  // An interrupted run's leftover, longer than what is written over it.
  std::ofstream(dir / "left.json.partial") << std::string(64, 'x');
  const struct {
    fs::path target;
    std::string text;
    std::string error;  // empty: written
  } cases[] = {{dir / "new.json", "[]\n", ""},
               {dir / "old.json", "{}", ""},
               {dir / "left.json", "[]\n", ""},
               {dir / "empty", "", ""},
               {dir / "sub", "x", "Is a directory"},
               {dir / "none" / "x.json", "x", "No such file or directory"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.target.string());
    try {
      report::write_whole(c.target, c.text);
      EXPECT_EQ(c.error, "");
      EXPECT_EQ(tarnwick::testing::slurp(c.target), c.text);
    } catch (const report::WriteError& e) {
      EXPECT_EQ(std::string(e.what()), "cannot write " + c.target.string() + ": " + c.error);
    }
    fs::path partial = c.target;
    partial += ".partial";
    EXPECT_FALSE(fs::exists(partial));
  }
  // A valid run's JSON file still parses: the empty array. The line formats have no line.
  for (const auto& [format, name, text] :
       {std::tuple{report::Format::Json, "valid.json", "[]\n"},
        std::tuple{report::Format::Github, "valid.github", ""},
        std::tuple{report::Format::Concise, "valid.txt", ""}}) {
    report::FileReporter(format, dir / name).finish();
    EXPECT_EQ(tarnwick::testing::slurp(dir / name), text) << name;
  }
  fs::remove_all(dir);
}

TEST(Reporters, FieldDescriptionOfTheLastKey) {
  const struct {
    core::Loc loc;
    bool found;
  } cases[] = {{{"corvane", "controller_ip"}, true},
               {{"account_info", std::int64_t{0}, "regions", std::int64_t{1}, "vpcs",
                 std::int64_t{2}, "crvn_cidr"},
                true},
               {{"colour"}, false},
               {{}, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(core::loc_text(c.loc));
    EXPECT_EQ(!report::field_description(c.loc).empty(), c.found);
  }
  EXPECT_NE(report::field_description({"corvane", "controller_ip"}),
            report::field_description({"corvane"}));
}

}  // namespace

// A rule's fault lists its VPCs: text cuts the message's list and shows each VPC on a line of its
// own (cut as well); warnings and notes are headed as such, and only warnings join the total.
TEST(Reporters, TextShowsEachVpcAndWarningsApart) {
  core::ErrorDetail rule = fault({"config"}, "head: ", 3, 9);
  rule.listed_from = rule.msg.size();
  rule.list_separator = "; ";
  for (int i = 0; i < 12; ++i) {
    rule.msg += (i ? "; v" : "v") + std::to_string(i);
    core::Related r{
        {}, "vpc v" + std::to_string(i) + ": why", {std::uint32_t(10 + i), 5}, {}, true};
    rule.related.push_back(r);
  }
  rule.related.push_back({{}, "only a place", {1, 1}, {}, false});
  rule.related.insert(rule.related.begin(), {{}, "vpc u: not placed", {}, {}, true});
  core::ErrorDetail warning = fault({"alert"}, "written twice", 2, 1);
  warning.severity = core::Severity::warning;
  core::ErrorDetail note = fault({"config"}, "did not run", 3, 1);
  note.severity = core::Severity::note;
  const std::vector<core::ErrorDetail> faults{rule}, others{warning, note};
  std::ostringstream out;
  report::TextReporter reporter(out, false);
  reporter.report({"d.yaml", "id: x\nalert: {}\nconfig: {a: 1}\n", faults, others});
  reporter.finish();
  std::string want =
      "d.yaml:2:1: warning: alert: written twice [value_error]\n  alert: {}\n  ^\n"
      "d.yaml:3:1: note: config: did not run [value_error]\n  config: {a: 1}\n  ^\n"
      "d.yaml:3:9: error: config: head: v0; v1; v2; v3; v4; v5; v6; v7; v8; v9 and 2 more [value_error]\n"
      "  config: {a: 1}\n          ^\n";
  want += "  --> d.yaml: vpc u: not placed\n";  // a finding without a position has none
  for (int i = 0; i < 9; ++i) {
    want += "  --> d.yaml:" + std::to_string(10 + i) + ":5: vpc v" + std::to_string(i) + ": why\n";
  }
  want += "  ... and 3 more\n1 error, 1 warning\n";
  EXPECT_EQ(out.str(), want);

  std::ostringstream concise;
  report::ConciseReporter one_line(concise);
  one_line.report({"d.yaml", "", {}, {&warning, 1}});
  EXPECT_EQ(concise.str(), "d.yaml:2:1: warning: alert: written twice [value_error]\n");
}

// Lines end where the reader ends them: a CR alone too, so the line quoted is the fault's.
TEST(Reporters, TextQuotesLinesEndedByACarriageReturn) {
  const std::vector<core::ErrorDetail> faults{fault({"b"}, "bad", 2, 4)};
  std::ostringstream out;
  report::TextReporter(out, false).report({"d.yaml", "a: 1\rb: x\rc: 2\r", faults});
  EXPECT_EQ(out.str(), "d.yaml:2:4: error: b: bad [value_error]\n  b: x\n     ^\n");
}
