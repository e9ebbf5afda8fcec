// Reporting a document's faults: one class per output format, picked by the format's name.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/core/errors.hpp"

namespace tarnwick::report {

enum class Format { Json, Text };

// The option text of each format, for the command line.
const std::vector<std::pair<std::string, Format>>& format_names();

// One document's report: the name it goes by in messages, its text (for formats that quote it),
// and its faults in the order found. A fault outside validation is one more ErrorDetail, with a
// type of its own.
struct DocumentReport {
  std::string_view name;
  std::string_view text;
  std::span<const core::ErrorDetail> faults;
};

// Writes one format to the stream it owns.
class Reporter {
 public:
  virtual ~Reporter() = default;

  // Whether reports quote the document's text: when not, the caller may drop the text early.
  virtual bool quotes_source() const = 0;
  virtual void report(const DocumentReport& doc) = 0;
};

// The reporter of a format, on its usual stream (json: standard output, text: standard error).
std::unique_ptr<Reporter> make_reporter(Format format);

}  // namespace tarnwick::report
