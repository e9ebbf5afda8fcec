// Faults as a JSON array, one object per fault, for programs that read the report.
#pragma once

#include <ostream>

#include "report/reporter.hpp"

namespace tarnwick::report {

class JsonReporter final : public Reporter {
 public:
  explicit JsonReporter(std::ostream& out) : out_(out) {}

  bool quotes_source() const override { return false; }
  void report(const DocumentReport& doc) override;

 private:
  std::ostream& out_;
};

}  // namespace tarnwick::report
