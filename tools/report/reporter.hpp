// Reporting documents' faults: one class per output format, picked by the format's name.
#pragma once

#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ostream>

#include "report/colour.hpp"
#include "tarnwick/core/errors.hpp"

namespace tarnwick::report {

enum class Format { Json, Text, Sarif, Github, Concise };

// The option text of each format, for the command line.
const std::vector<std::pair<std::string, Format>>& format_names();

// One document's report: the name it goes by in messages, its text (to quote it), its faults in
// the order found, and its warnings and notes. Each fault comes placed from the load (its range,
// its related places); a document stopped before validation is reported with report_fatal.
struct DocumentReport {
  std::string_view name;
  std::string_view text;
  std::span<const core::ErrorDetail> faults;
  std::span<const core::ErrorDetail> warnings = {};

  // Calls fn on every fault, then every warning.
  template <class F>
  void each(F&& fn) const {
    for (const core::ErrorDetail& e : faults) fn(e);
    for (const core::ErrorDetail& e : warnings) fn(e);
  }
};

// The faults, warnings and notes in source order (line, column), as people and CI read them;
// those without a position last, each group in the order found.
std::vector<const core::ErrorDetail*> in_source_order(const DocumentReport& doc);

// Writes one format to the stream it owns. A run reports each failed document, then finishes
// once: formats that hold one value for the run (a JSON array, a SARIF log) write it then.
class Reporter {
 public:
  virtual ~Reporter() = default;

  virtual void report(const DocumentReport& doc) = 0;
  // A document stopped before validation (one fault, no text). Text leaves it to the caller's
  // one line on standard error; the formats programs read carry it as a fault.
  virtual void report_fatal(std::string_view name, const core::ErrorDetail& fault) {
    report({name, {}, {&fault, 1}});
  }
  virtual void finish() {}
};

// The reporter of a format, on its usual stream (text: standard error, the others: standard
// output); `version` is the tool's, for formats that name it; `colour` decides for text, on
// standard error's terminal and environment.
std::unique_ptr<Reporter> make_reporter(Format format, std::string_view version = "",
                                        ColourMode colour = ColourMode::Auto);
// The same on any stream; `colour` is used by text only.
std::unique_ptr<Reporter> make_reporter_on(Format format, std::ostream& out,
                                           std::string_view version, bool colour);

}  // namespace tarnwick::report
