#include "report/concise_reporter.hpp"

#include "report/text_reporter.hpp"

namespace tarnwick::report {

namespace {

// Every fault a report is given fails its document. A key written twice without --strict is
// only warned about, by the load, on standard error and in this same shape
// ("FILE:LINE:COLUMN: warning: ...").
constexpr const char* kSeverity = "error";

}  // namespace

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
  for (const core::ErrorDetail* e : in_source_order(doc.faults)) {
    out_ << name;
    if (e->mark.known()) out_ << ":" << e->mark.line << ":" << e->mark.column;
    out_ << ": " << kSeverity << ": ";
    if (!e->loc.empty()) out_ << one_line(core::loc_text(e->loc)) << ": ";
    out_ << one_line(e->msg);
    if (!e->hint.empty()) out_ << " (" << one_line(e->hint) << ")";
    out_ << "\n";
  }
}

}  // namespace tarnwick::report
