// One run, several reports: the one shown and others written to files, so that CI need not run
// the check once per format.
#pragma once

#include <filesystem>
#include <memory>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "report/reporter.hpp"

namespace tarnwick::report {

// A file that could not be written: "cannot write PATH: REASON" (the operating system's).
struct WriteError : std::runtime_error {
  using std::runtime_error::runtime_error;
};

// Writes `text` into `target` whole or not at all: into a temporary file beside it, flushed to
// disk, then renamed over it. Throws WriteError; no temporary file is left behind. With `mode`,
// the file gets exactly those permissions (a file rewritten in place keeps its own).
void write_whole(const std::filesystem::path& target, std::string_view text,
                 std::optional<std::filesystem::perms> mode = std::nullopt);

// Forwards every document to each reporter, in the order given. finish() finishes each of them,
// even after one failed, then throws a std::runtime_error naming every failure.
class FanoutReporter final : public Reporter {
 public:
  explicit FanoutReporter(std::vector<std::unique_ptr<Reporter>> reporters)
      : reporters_(std::move(reporters)) {}

  void report(const DocumentReport& doc) override;
  void report_fatal(std::string_view name, const core::ErrorDetail& fault) override;
  void finish() override;

 private:
  std::vector<std::unique_ptr<Reporter>> reporters_;
};

// A format's report kept in memory and written to a file by finish() (write_whole): a reader of
// the file never sees half a report. Text is never coloured there. A run with no fault still
// writes the file, in a form its readers parse (an empty JSON array).
class FileReporter final : public Reporter {
 public:
  FileReporter(Format format, std::filesystem::path path, std::string_view version = "");

  void report(const DocumentReport& doc) override { inner_->report(doc); }
  void report_fatal(std::string_view name, const core::ErrorDetail& fault) override {
    inner_->report_fatal(name, fault);
  }
  void finish() override;

 private:
  Format format_;
  std::filesystem::path path_;
  std::ostringstream buffer_;
  std::unique_ptr<Reporter> inner_;
};

}  // namespace tarnwick::report
