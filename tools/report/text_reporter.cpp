#include "report/text_reporter.hpp"

#include <algorithm>
#include <string>

namespace tarnwick::report {

namespace {

// A longer line is not quoted: a report must stay readable, and linear in the input.
constexpr std::size_t kMaxQuotedLine = 1000;

}  // namespace

bool colour_on_stderr() {
  return colour_wanted(ColourMode::Auto, stderr_environment());
}

TextReporter::TextReporter(std::ostream& out, bool colour)
    : out_(out),
      red_(colour ? "\033[1;31m" : ""),
      yellow_(colour ? "\033[1;33m" : ""),
      green_(colour ? "\033[1;32m" : ""),
      bold_(colour ? "\033[1m" : ""),
      reset_(colour ? "\033[0m" : "") {}

void TextReporter::report(const DocumentReport& doc) {
  const SourceLines lines(doc.text);
  for (const core::ErrorDetail* e : in_source_order(doc)) {
    heading(doc.name, *e);
    if (e->mark.known()) quote(lines.line(e->mark.line), e->mark);
    if (!e->hint.empty()) out_ << "  " << bold_ << "help:" << reset_ << " " << e->hint << "\n";
    findings(doc.name, *e);
  }
  errors_ += doc.faults.size();
  for (const core::ErrorDetail& w : doc.warnings)
    warnings_ += w.severity == core::Severity::warning;
}

void TextReporter::finish() {
  if (errors_ == 0 && warnings_ == 0) return;
  out_ << errors_ << (errors_ == 1 ? " error" : " errors");
  if (warnings_ != 0) out_ << ", " << warnings_ << (warnings_ == 1 ? " warning" : " warnings");
  out_ << "\n";
}

void TextReporter::heading(std::string_view name, const core::ErrorDetail& e) {
  out_ << bold_ << name;
  if (e.mark.known()) out_ << ":" << e.mark.line << ":" << e.mark.column;
  const bool error = e.severity == core::Severity::error;
  out_ << ":" << reset_ << " " << (error ? red_ : yellow_) << core::severity_name(e.severity) << ":"
       << reset_ << " ";
  // A fault of no key (the ignore comment's) is told by its line alone.
  if (!e.loc.empty()) out_ << bold_ << core::loc_text(e.loc) << ":" << reset_ << " ";
  // The rule's id, as --ignore and the ignore comment take it.
  out_ << core::shown_message(e, kListed) << " [" << e.rule_id() << "]\n";
}

// Each place the fault holds at (each VPC a rule names), on a line of its own.
void TextReporter::findings(std::string_view name, const core::ErrorDetail& e) {
  std::size_t shown = 0, more = 0;
  for (const core::Related& r : e.related) {
    if (!r.finding) continue;
    if (shown == kListed) {
      ++more;
      continue;
    }
    ++shown;
    out_ << "  " << bold_ << "-->" << reset_ << " " << name;
    if (r.start.known()) out_ << ":" << r.start.line << ":" << r.start.column;
    out_ << ": " << r.message << "\n";
  }
  if (more != 0) out_ << "  ... and " << more << " more\n";
}

void TextReporter::quote(std::string_view line, const yaml::Mark& mark) {
  if (line.size() > kMaxQuotedLine) {
    out_ << "  (line " << mark.line << " is " << line.size() << " bytes long)\n";
    return;
  }
  // The caret stands under the column's character: tabs are kept so that it lines up, and the
  // continuation bytes of a multi-byte character take no column.
  std::string caret;
  std::size_t chars = 0;
  for (char c : line) {
    if (chars + 1 >= mark.column) break;
    if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;
    caret += c == '\t' ? '\t' : ' ';
    ++chars;
  }
  out_ << "  " << line << "\n  " << caret << green_ << "^" << reset_ << "\n";
}

}  // namespace tarnwick::report
