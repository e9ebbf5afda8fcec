// The tool's reporters on fixed faults: the class each format gets, and what each one writes.
#include <algorithm>
#include <iterator>
#include <sstream>
#include <string>
#include <typeindex>
#include <vector>

#include <gtest/gtest.h>

#include "report/json_reporter.hpp"
#include "report/text_reporter.hpp"

namespace {

namespace core = tarnwick::core;
namespace report = tarnwick::report;

core::ErrorDetail fault(core::Loc loc, std::string msg, std::uint32_t line, std::uint32_t column) {
  core::ErrorDetail e;
  e.loc = std::move(loc);
  e.msg = std::move(msg);
  e.type = "value_error";
  e.mark = {line, column};
  return e;
}

TEST(Reporters, EachFormatNameGetsItsClass) {
  const struct {
    const char* name;
    std::type_index type;
    bool quotes_source;
  } cases[] = {{"json", typeid(report::JsonReporter), false},
               {"text", typeid(report::TextReporter), true}};
  ASSERT_EQ(report::format_names().size(), std::size(cases));
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const auto& names = report::format_names();
    const auto it = std::find_if(names.begin(), names.end(),
                                 [&](const auto& n) { return n.first == c.name; });
    ASSERT_NE(it, names.end());
    const auto reporter = report::make_reporter(it->second);
    ASSERT_NE(reporter, nullptr);
    EXPECT_EQ(std::type_index(typeid(*reporter)), c.type);
    EXPECT_EQ(reporter->quotes_source(), c.quotes_source);
  }
}

TEST(Reporters, TextKeepsTheOrderFoundAndPlacesTheCaret) {
  const std::string text = "a: 1\n\tb: x\r\nc: \xC3\xA9" "2\nd: " + std::string(1001, 'x') + "\n";
  const std::vector<core::ErrorDetail> faults{
      fault({"c"}, "after a two-byte character", 3, 5),
      fault({"b"}, "after a tab, before a CR", 2, 5),
      fault({"items", std::int64_t{0}}, "no position", 0, 0),
      fault({"d"}, "too long to quote", 4, 4),
      fault({}, "past the end", 9, 1)};
  const struct {
    bool colour;
    std::size_t faults;
    std::string expected;
  } cases[] = {
      {false, faults.size(),
       "doc.yaml:3:5: error: c: after a two-byte character\n  c: \xC3\xA9" "2\n      ^\n"
       "doc.yaml:2:5: error: b: after a tab, before a CR\n  \tb: x\n  \t   ^\n"
       "doc.yaml: error: items.0: no position\n"
       "doc.yaml:4:4: error: d: too long to quote\n  (line 4 is 1004 bytes long)\n"
       "doc.yaml:9:1: error: : past the end\n  \n  ^\n"},
      {true, 1,
       "\033[1mdoc.yaml:3:5:\033[0m \033[1;31merror:\033[0m \033[1mc:\033[0m after a two-byte "
       "character\n  c: \xC3\xA9" "2\n      \033[1;32m^\033[0m\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.colour);
    std::ostringstream out;
    report::TextReporter(out, c.colour).report({"doc.yaml", text, {faults.data(), c.faults}});
    EXPECT_EQ(out.str(), c.expected);
  }
}

TEST(Reporters, TextGivesTheHintUnderItsFault) {
  core::ErrorDetail hinted = fault({"terraform_versoin"}, "extra fields not permitted", 1, 1);
  hinted.hint = "did you mean `terraform_version`?";
  const std::vector<core::ErrorDetail> faults{hinted, fault({"b"}, "no hint", 0, 0)};
  std::ostringstream out;
  report::TextReporter(out, false).report({"doc.yaml", "terraform_versoin: 1\n", faults});
  EXPECT_EQ(out.str(),
            "doc.yaml:1:1: error: terraform_versoin: extra fields not permitted\n"
            "  terraform_versoin: 1\n  ^\n  help: did you mean `terraform_version`?\n"
            "doc.yaml: error: b: no hint\n");
}

TEST(Reporters, JsonIsTheValidationErrorsArray) {
  std::vector<core::ErrorDetail> faults{fault({"a", std::int64_t{2}}, "caf\xC3\xA9", 1, 3),
                                        fault({"b"}, "bad \xFF byte", 0, 0)};
  faults[1].ctx = {{"limit", 3}};
  std::ostringstream out;
  report::JsonReporter(out).report({"doc.yaml", "", faults});
  EXPECT_EQ(out.str(), core::ValidationError("Model", faults).json() + "\n");
}

}  // namespace
