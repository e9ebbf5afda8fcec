#include "report/reporter.hpp"

#include <iostream>

#include "report/github_reporter.hpp"
#include "report/json_reporter.hpp"
#include "report/sarif_reporter.hpp"
#include "report/text_reporter.hpp"

namespace tarnwick::report {

const std::vector<std::pair<std::string, Format>>& format_names() {
  static const std::vector<std::pair<std::string, Format>> names{{"json", Format::Json},
                                                                 {"text", Format::Text},
                                                                 {"sarif", Format::Sarif},
                                                                 {"github", Format::Github}};
  return names;
}

std::unique_ptr<Reporter> make_reporter(Format format, std::string_view version) {
  switch (format) {
    case Format::Json:
      return std::make_unique<JsonReporter>(std::cout);
    case Format::Text:
      return std::make_unique<TextReporter>(std::cerr, colour_on_stderr());
    case Format::Sarif:
      return std::make_unique<SarifReporter>(std::cout, std::string(version));
    case Format::Github:
      return std::make_unique<GithubReporter>(std::cout);
  }
  return nullptr;  // not reached: every format is handled above
}

}  // namespace tarnwick::report
