#include "report/concise_reporter.hpp"

#include "report/text_reporter.hpp"

namespace tarnwick::report {

std::string one_line(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // CRLF: one space
    out += (c == '\n' || c == '\r') ? ' ' : c;
  }
  return out;
}

void ConciseReporter::report(const DocumentReport& doc) {
  const std::string name = one_line(doc.name);
  for (const core::ErrorDetail* e : in_source_order(doc)) {
    out_ << name;
    if (e->mark.known()) out_ << ":" << e->mark.line << ":" << e->mark.column;
    out_ << ": " << core::severity_name(e->severity) << ": ";
    if (!e->loc.empty()) out_ << one_line(core::loc_text(e->loc)) << ": ";
    // A long list of VPCs stays readable on one line; each VPC is a line of its own below.
    out_ << one_line(core::shown_message(*e, TextReporter::kListed));
    if (!e->hint.empty()) out_ << " (" << one_line(e->hint) << ")";
    out_ << " [" << e->rule_id() << "]\n";
    for (const core::Related& r : e->related) {
      if (!r.finding || !r.start.known()) continue;
      out_ << name << ":" << r.start.line << ":" << r.start.column << ": "
           << core::severity_name(e->severity) << ": " << one_line(r.message) << " ["
           << e->rule_id() << "]\n";
    }
  }
}

}  // namespace tarnwick::report
