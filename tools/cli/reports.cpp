#include "cli/reports.hpp"

#include <algorithm>
#include <filesystem>
#include <set>
#include <system_error>

#include "cli/paths.hpp"
#include "report/fanout_reporter.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::cli {

std::optional<ReportFile> parse_report_file(std::string_view value, std::string& why) {
  const std::size_t eq = value.find('=');
  const auto& names = report::format_names();
  std::string choices;
  for (const auto& [name, format] : names) choices += (choices.empty() ? "" : ", ") + name;
  if (eq == std::string_view::npos) {
    why = "expected FORMAT=FILE (FORMAT: " + choices + ")";
    return std::nullopt;
  }
  const std::string_view format = value.substr(0, eq), path = value.substr(eq + 1);
  const auto it =
      std::find_if(names.begin(), names.end(), [&](const auto& n) { return n.first == format; });
  if (it == names.end()) {
    why = "unknown format '" + std::string(format) + "' (formats: " + choices + ")";
    return std::nullopt;
  }
  // Standard output and error are the shown report's; a file named '-' would be a surprise.
  if (path.empty() || path == "-") {
    why = "expected a file name after '" + std::string(format) + "='";
    return std::nullopt;
  }
  return ReportFile{it->second, std::string(path)};
}

namespace {

// Whether `path` is the file of one of the documents (same device and inode).
bool is_a_document(const std::string& path, const std::vector<Target>& documents) {
  std::error_code error;
  for (const Target& d : documents) {
    if (d.path != "-" && std::filesystem::equivalent(path, d.path, error)) return true;
  }
  return false;
}

}  // namespace

std::unique_ptr<report::Reporter> run_reporter(report::Format shown, report::ColourMode colour,
                                               const std::vector<std::string>& report_files,
                                               const std::vector<Target>& documents,
                                               std::string_view version) {
  auto reporter = report::make_reporter(shown, version, colour);
  if (report_files.empty()) return reporter;
  std::vector<std::unique_ptr<report::Reporter>> all;
  all.push_back(std::move(reporter));
  std::set<std::filesystem::path> paths;
  for (const std::string& value : report_files) {
    std::string why;
    const std::optional<ReportFile> file = parse_report_file(value, why);
    if (!file) throw UsageError("--report " + value + ": " + why);
    // Two reports renamed onto one file: only the last would be left, silently.
    if (!paths.insert(std::filesystem::path(file->path).lexically_normal()).second) {
      throw UsageError("--report " + value + ": " + file->path + " is named twice");
    }
    if (is_a_document(file->path, documents)) {
      throw UsageError("--report " + value + ": " + file->path +
                       " is a document being checked; it would be replaced by the report");
    }
    all.push_back(std::make_unique<report::FileReporter>(file->format, file->path, version));
  }
  return std::make_unique<report::FanoutReporter>(std::move(all));
}

std::string fatal_line(const core::LoadResult& loaded) {
  if (loaded.cause) {
    try {
      std::rethrow_exception(loaded.cause);
    } catch (const yaml::YamlError& e) {
      return e.what();  // with the file, the line and the reader's context
    } catch (...) {
    }
  }
  if (loaded.fatal->type == core::kind::kNotMapping) return loaded.name + ": " + loaded.fatal->msg;
  return loaded.fatal->msg;
}

}  // namespace tarnwick::cli
