#include "report/json_reporter.hpp"

namespace tarnwick::report {

void JsonReporter::report(const DocumentReport& doc) {
  doc.each([&](const core::ErrorDetail& e) {
    nlohmann::ordered_json o = e.to_json();
    o["file"] = doc.name;
    if (e.end.known()) {
      o["end_line"] = e.end.line;
      o["end_column"] = e.end.column;
    }
    o["severity"] = core::severity_name(e.severity);
    o["rule"] = e.rule_id();
    if (!e.hint.empty()) o["hint"] = e.hint;
    // What check --fix would write, as an edit of the text (marks as line and column).
    if (e.fix && e.fix->start.known() && e.fix->end.known()) {
      o["fix"] = {{"message", e.fix->title},
                  {"applicability", core::applicability_name(e.fix->applicability)},
                  {"edits",
                   {{{"content", e.fix->text},
                     {"line", e.fix->start.line},
                     {"column", e.fix->start.column},
                     {"end_line", e.fix->end.line},
                     {"end_column", e.fix->end.column}}}}};
    }
    faults_.push_back(std::move(o));
  });
}

void JsonReporter::finish() {
  // A run with nothing to say is still one JSON value: the empty array.
  // ASCII only, as ValidationError::json() writes it; a stray invalid byte never aborts the report.
  out_ << faults_.dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace) << '\n'
       << std::flush;
}

}  // namespace tarnwick::report
