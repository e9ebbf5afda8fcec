// --report FORMAT=FILE: reports written to files besides the one shown.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "cli/paths.hpp"
#include "report/reporter.hpp"
#include "tarnwick/core/load.hpp"

namespace tarnwick::cli {

struct ReportFile {
  report::Format format;
  std::string path;
};

// "sarif=results.sarif" as a format and a file; on a mistake, the reason in `why` (for the
// option's own check) and nullopt.
std::optional<ReportFile> parse_report_file(std::string_view value, std::string& why);

// The run's reporter: the format shown on its stream, and each --report file beside it (a fan-
// out when there is any). Throws UsageError when two files are the same path, or when a file
// is one of the documents checked (the report would replace it).
std::unique_ptr<report::Reporter> run_reporter(report::Format shown, report::ColourMode colour,
                                               const std::vector<std::string>& report_files,
                                               const std::vector<Target>& documents,
                                               std::string_view version);

// The one line a document that could not be validated (LoadResult::fatal) gets on standard error.
std::string fatal_line(const core::LoadResult& loaded);

}  // namespace tarnwick::cli
