// Faults as one JSON array for the run, one object per fault, for programs that read the report.
#pragma once

#include <ostream>

#include <nlohmann/json.hpp>

#include "report/reporter.hpp"

namespace tarnwick::report {

class JsonReporter final : public Reporter {
 public:
  explicit JsonReporter(std::ostream& out) : out_(out) {}

  // Each fault and warning is ErrorDetail::to_json() and, after its keys, "file", "end_line"
  // and "end_column" (just past the offending node, when known), "severity" ("error", "warning",
  // "note"), "rule" (the check or frame rule) and "hint" when there is one.
  void report(const DocumentReport& doc) override;
  // Writes the array; a run with nothing to report writes [].
  void finish() override;

 private:
  std::ostream& out_;
  nlohmann::ordered_json faults_ = nlohmann::ordered_json::array();
};

}  // namespace tarnwick::report
