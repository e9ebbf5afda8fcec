#include "report/json_reporter.hpp"

#include <nlohmann/json.hpp>

namespace tarnwick::report {

void JsonReporter::report(const DocumentReport& doc) {
  auto faults = nlohmann::ordered_json::array();
  for (const core::ErrorDetail& e : doc.faults) faults.push_back(e.to_json());
  // ASCII only, as ValidationError::json() writes it; a stray invalid byte never aborts the report.
  out_ << faults.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n'
       << std::flush;
}

}  // namespace tarnwick::report
