// Faults as a SARIF 2.1.0 log, as code scanning reads it: one run, the tool as its driver with
// every rule of the registry (core::rules()), results pointing at their rules and regions with
// columns in UTF-16 code units.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/locations.hpp"
#include "report/reporter.hpp"

namespace tarnwick::report {

class SarifReporter final : public Reporter {
 public:
  SarifReporter(std::ostream& out, std::string version) : out_(out), version_(std::move(version)) {}

  void report(const DocumentReport& doc) override;
  // Writes the log, with no result when every document was valid: a CI job always gets one.
  void finish() override;

 private:
  // The index of the fault's rule among the driver's rules: the registry's, in its order, so
  // that an index means the same rule in every run; then any id the registry lacks.
  std::size_t rule_of(const core::ErrorDetail& e);

  std::ostream& out_;
  std::string version_;
  std::vector<std::string> unregistered_;
  nlohmann::ordered_json results_ = nlohmann::ordered_json::array();
};

}  // namespace tarnwick::report
