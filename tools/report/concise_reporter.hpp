// Faults for editors' quickfix lists: one line per fault, FILE:LINE:COLUMN: error: LOC: MSG.
#pragma once

#include <ostream>
#include <string>
#include <string_view>

#include "report/reporter.hpp"

namespace tarnwick::report {

class ConciseReporter final : public Reporter {
 public:
  explicit ConciseReporter(std::ostream& out) : out_(out) {}

  // Each fault in source order as one line ("error:"; a key written twice without --strict is
  // the load's warning, on standard error in the same shape), no "LINE:COLUMN:" when the fault has
  // no position, no "LOC: " when it is about the whole document, the hint in parentheses after the
  // message. No quote, no colour, no total. A document stopped before validation is its one fault
  // (the parse position, if any).
  void report(const DocumentReport& doc) override;
  void finish() override { out_.flush(); }

 private:
  std::ostream& out_;
};

// The text on one line: each line end (CR, LF) becomes a space, so that a fault never splits
// into two entries of the list.
std::string one_line(std::string_view text);

}  // namespace tarnwick::report
