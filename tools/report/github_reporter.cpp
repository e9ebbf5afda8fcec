#include "report/github_reporter.hpp"

#include "report/locations.hpp"

namespace tarnwick::report {

namespace {

std::string escape(std::string_view text, bool property) {
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    switch (c) {
      case '%':
        out += "%25";
        break;
      case '\r':
        out += "%0D";
        break;
      case '\n':
        out += "%0A";
        break;
      case ':':
        out += property ? "%3A" : ":";
        break;
      case ',':
        out += property ? "%2C" : ",";
        break;
      default:
        out += c;
    }
  }
  return out;
}

}  // namespace

std::string escape_message(std::string_view text) {
  return escape(text, false);
}
std::string escape_property(std::string_view text) {
  return escape(text, true);
}

void GithubReporter::report(const DocumentReport& doc) {
  for (const core::ErrorDetail* fault : in_source_order(doc)) {
    const core::ErrorDetail& e = *fault;
    static constexpr const char* kCommand[] = {"::error", "::warning", "::notice"};
    out_ << kCommand[static_cast<int>(e.severity)] << " file=" << escape_property(shown_path(doc.name));
    if (e.mark.known()) {
      out_ << ",line=" << e.mark.line << ",col=" << e.mark.column;
      if (e.end.known()) out_ << ",endLine=" << e.end.line << ",endColumn=" << e.end.column;
    }
    const std::string title = e.loc.empty() ? e.type : core::loc_text(e.loc);
    std::string msg = e.msg;
    if (!e.hint.empty()) msg += "\n" + e.hint;
    out_ << ",title=" << escape_property(title) << "::" << escape_message(msg) << "\n";
  }
  out_ << std::flush;
}

}  // namespace tarnwick::report
