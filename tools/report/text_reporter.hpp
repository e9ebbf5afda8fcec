// Faults for a person: FILE:LINE:COLUMN: error: LOC: MSG, then the source line and a caret, in
// source order, each fault's hint as a help line, and the run's total at the end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <ostream>
#include <string_view>
#include <vector>

#include "report/reporter.hpp"
#include "tarnwick/yaml/text_lines.hpp"

namespace tarnwick::report {

// A document's lines, indexed once so that a report of many faults stays linear; split where the
// reader splits them (LF, CRLF, CR), so a fault's line is the line quoted.
using SourceLines = yaml::TextLines;

// What --color=auto decides for standard error (see colour_wanted).
bool colour_on_stderr();

class TextReporter final : public Reporter {
 public:
  TextReporter(std::ostream& out, bool colour);

  void report(const DocumentReport& doc) override;
  // The caller already wrote its one line on standard error.
  void report_fatal(std::string_view, const core::ErrorDetail&) override {}
  // "N errors" (and ", M warnings"), when anything was reported.
  void finish() override;

  // A list of VPCs in a message, and the VPC lines under it, are cut after this many.
  static constexpr std::size_t kListed = 10;

 private:
  void heading(std::string_view name, const core::ErrorDetail& e);
  void quote(std::string_view line, const yaml::Mark& mark);
  void findings(std::string_view name, const core::ErrorDetail& e);

  std::ostream& out_;
  const char* red_;
  const char* yellow_;
  const char* green_;
  const char* bold_;
  const char* reset_;
  std::size_t errors_ = 0;
  std::size_t warnings_ = 0;
};

}  // namespace tarnwick::report
