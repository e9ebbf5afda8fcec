#include "lsp/diagnostics.hpp"

#include "lsp/positions.hpp"
#include "tarnwick/core/load.hpp"

namespace tarnwick::lsp {

namespace {

// An editor shows a message in a hover or a line: a list of thousands of VPCs is cut there (each
// VPC is a diagnostic of its own as well).
constexpr std::size_t kListedInMessage = 10;

DiagnosticSeverity severity_of(core::Severity severity) {
  switch (severity) {
    case core::Severity::warning:
      return DiagnosticSeverity::Warning;
    case core::Severity::note:
      return DiagnosticSeverity::Information;
    case core::Severity::error:
      break;
  }
  return DiagnosticSeverity::Error;
}

// A range from its marks; without an end, to the end of the start's line (a YAML error, a
// place with no node of its own).
Range range_of(const LineIndex& index, yaml::Mark start, yaml::Mark end) {
  const Position from = index.from_mark(start.known() ? start : yaml::Mark{1, 1});
  if (start.known() && end.known()) return {from, index.from_mark(end)};
  const std::string_view line = index.line(from.line);
  const Position line_end = index.position(index.offset({from.line, 0}) + line.size());
  return {from, line_end.character > from.character ? line_end : from};
}

Diagnostic diagnostic(const Range& range, const core::ErrorDetail& fault, std::string message) {
  return {range, severity_of(fault.severity), std::string(fault.rule_id()), std::move(message),
          {}, std::nullopt};
}

// One fault: its diagnostic with the hint in the message (clients that hide related information
// still show it), related places, its fix as data; then each place it names that is a finding of
// its own (a VPC a rule names), so the operator sees it where it is.
void add_fault(std::vector<Diagnostic>& out, const LineIndex& index,
               const core::ErrorDetail& fault) {
  const Range range = range_of(index, fault.mark, fault.end);
  const std::string loc = core::loc_text(fault.loc);
  std::string message = core::shown_message(fault, kListedInMessage);
  if (!loc.empty()) message = loc + ": " + message;
  if (!fault.hint.empty()) message += " (" + fault.hint + ")";
  Diagnostic d = diagnostic(range, fault, std::move(message));
  if (!fault.hint.empty()) d.related.push_back({range, fault.hint});
  for (const core::Related& r : fault.related) {
    if (!r.start.known() || d.related.size() >= kListedInMessage) continue;
    d.related.push_back({range_of(index, r.start, r.end), r.message});
  }
  if (fault.fix) {
    d.fix = Fix{range_of(index, fault.fix->start, fault.fix->end), fault.fix->text,
                fault.fix->title, fault.fix->applicability == core::Applicability::safe};
  }
  out.push_back(std::move(d));
  for (const core::Related& r : fault.related) {
    if (!r.finding || !r.start.known()) continue;
    out.push_back(diagnostic(range_of(index, r.start, r.end), fault,
                             r.message + " (" + std::string(fault.rule_id()) + ")"));
  }
}

// Whether a text that did not parse still looks like a migration document: a section key at the
// start of a line. Other YAML in the workspace stays unmarked.
bool names_a_section(std::string_view text) {
  for (std::string_view key : core::document_keys()) {
    for (std::size_t at = text.find(key); at != std::string_view::npos;
         at = text.find(key, at + 1)) {
      const bool line_start = at == 0 || text[at - 1] == '\n';
      const std::size_t after = at + key.size();
      if (line_start && after < text.size() && text[after] == ':') return true;
    }
  }
  return false;
}

}  // namespace

std::optional<bool> mode_comment(std::string_view text) {
  return core::mode_comment(text);
}

std::vector<Diagnostic> check_text(std::string_view uri, std::string_view text,
                                   bool discovery_only) {
  const LineIndex index(text);
  std::vector<Diagnostic> out;
  const core::LoadResult loaded =
      core::load(core::Source::text(text, std::string(uri)),
                 {.discovery_only = discovery_only,
                  .mode_comment = true,
                  .lint = core::LintSet::defaults()});
  if (loaded.fatal) {
    const bool malformed = loaded.fatal->type == core::kind::kMalformedYaml;
    if ((malformed && !names_a_section(text)) || loaded.not_mapping) return out;
    add_fault(out, index, *loaded.fatal);
    return out;
  }
  if (!loaded.any_section) return out;  // not a migration document
  for (const core::ErrorDetail& fault : loaded.faults()) add_fault(out, index, fault);
  for (const core::ErrorDetail& warning : loaded.warnings) add_fault(out, index, warning);
  return out;
}

nlohmann::json diagnostics(std::string_view uri, std::string_view text, bool discovery_only) {
  return to_json(check_text(uri, text, discovery_only), std::string(uri));
}

}  // namespace tarnwick::lsp
