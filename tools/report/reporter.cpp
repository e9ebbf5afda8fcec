#include "report/reporter.hpp"

#include <algorithm>
#include <iostream>

#include "report/concise_reporter.hpp"
#include "report/github_reporter.hpp"
#include "report/json_reporter.hpp"
#include "report/sarif_reporter.hpp"
#include "report/text_reporter.hpp"

namespace tarnwick::report {

std::vector<const core::ErrorDetail*> in_source_order(const DocumentReport& doc) {
  std::vector<const core::ErrorDetail*> order;
  order.reserve(doc.faults.size() + doc.warnings.size());
  doc.each([&](const core::ErrorDetail& e) { order.push_back(&e); });
  std::stable_sort(order.begin(), order.end(), [](const auto* a, const auto* b) {
    if (a->mark.known() != b->mark.known()) return a->mark.known();
    if (a->mark.line != b->mark.line) return a->mark.line < b->mark.line;
    return a->mark.column < b->mark.column;
  });
  return order;
}


const std::vector<std::pair<std::string, Format>>& format_names() {
  static const std::vector<std::pair<std::string, Format>> names{{"json", Format::Json},
                                                                 {"text", Format::Text},
                                                                 {"sarif", Format::Sarif},
                                                                 {"github", Format::Github},
                                                                 {"concise", Format::Concise}};
  return names;
}

std::unique_ptr<Reporter> make_reporter(Format format, std::string_view version,
                                        ColourMode colour) {
  if (format == Format::Text) {
    return make_reporter_on(format, std::cerr, version,
                            colour_wanted(colour, stderr_environment()));
  }
  return make_reporter_on(format, std::cout, version, false);
}

std::unique_ptr<Reporter> make_reporter_on(Format format, std::ostream& out,
                                           std::string_view version, bool colour) {
  switch (format) {
    case Format::Json:
      return std::make_unique<JsonReporter>(out);
    case Format::Text:
      return std::make_unique<TextReporter>(out, colour);
    case Format::Sarif:
      return std::make_unique<SarifReporter>(out, std::string(version));
    case Format::Github:
      return std::make_unique<GithubReporter>(out);
    case Format::Concise:
      return std::make_unique<ConciseReporter>(out);
  }
  return nullptr;  // not reached: every format is handled above
}

}  // namespace tarnwick::report
