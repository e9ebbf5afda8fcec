#include "report/json_reporter.hpp"

namespace tarnwick::report {

void JsonReporter::report(const DocumentReport& doc) {
  reported_ = true;
  const yaml::NodeEnds ends = yaml::node_ends(doc.text);
  for (const core::ErrorDetail& e : doc.faults) {
    nlohmann::ordered_json o = e.to_json();
    o["file"] = doc.name;
    if (const auto end = end_of(ends, e)) {
      o["end_line"] = end->line;
      o["end_column"] = end->column;
    }
    o["severity"] = "error";
    if (!e.hint.empty()) o["hint"] = e.hint;
    faults_.push_back(std::move(o));
  }
}

void JsonReporter::finish() {
  if (!reported_) return;
  // ASCII only, as ValidationError::json() writes it; a stray invalid byte never aborts the report.
  out_ << faults_.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n'
       << std::flush;
}

}  // namespace tarnwick::report
