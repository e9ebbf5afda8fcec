// Faults as a SARIF 2.1.0 log: one run, the tool as its driver, a rule per kind of fault.
#pragma once

#include <map>
#include <ostream>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "report/reporter.hpp"

namespace tarnwick::report {

class SarifReporter final : public Reporter {
 public:
  SarifReporter(std::ostream& out, std::string version) : out_(out), version_(std::move(version)) {}

  void report(const DocumentReport& doc) override;
  // Writes the log, with no result when every document was valid: a CI job always gets one.
  void finish() override;

 private:
  // The index of the fault's rule, made on first use; the rule's help lists the descriptions of
  // the fields its faults were found at.
  std::size_t rule_of(const core::ErrorDetail& e);

  struct Rule {
    std::string id;
    std::vector<std::string> help;
  };

  std::ostream& out_;
  std::string version_;
  std::vector<Rule> rules_;
  std::map<std::string, std::size_t, std::less<>> rule_index_;
  nlohmann::ordered_json results_ = nlohmann::ordered_json::array();
};

// A file name as a relative URI reference: every byte but unreserved ones and '/' escaped.
std::string uri_of(std::string_view name);

}  // namespace tarnwick::report
