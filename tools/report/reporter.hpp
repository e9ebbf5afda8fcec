// Reporting documents' faults: one class per output format, picked by the format's name.
#pragma once

#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include <ostream>

#include "report/colour.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/yaml/node_ends.hpp"

namespace tarnwick::report {

enum class Format { Json, Text, Sarif, Github, Concise };

// The option text of each format, for the command line.
const std::vector<std::pair<std::string, Format>>& format_names();

// One document's report: the name it goes by in messages, its text (to quote it and to find
// where nodes end), and its faults in the order found. A fault outside validation is one
// ErrorDetail with a type of its own (see the fatal_* kinds below).
struct DocumentReport {
  std::string_view name;
  std::string_view text;
  std::span<const core::ErrorDetail> faults;
};

// The kinds of fault that stop a document before validation.
inline constexpr const char* kMalformedYaml = "document_error.malformed_yaml";
inline constexpr const char* kUnreadableFile = "document_error.unreadable_file";
inline constexpr const char* kNotMapping = "document_error.not_mapping";

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

// Whether the fault is about a key itself (an undeclared key, a key written twice) rather than
// about the value at its position.
bool about_key(const core::ErrorDetail& fault);

// The warning about a key written twice, without the file and position it is shown at:
// "duplicate key 'k' (first at line 3, column 1); the later value wins".
std::string duplicate_warning(const yaml::DuplicateKey& duplicate);

// Where the fault's node ends in the text, when it has a position and a node starts there.
std::optional<yaml::Mark> end_of(const yaml::NodeEnds& ends, const core::ErrorDetail& fault);

// The reporter of a format, on its usual stream (text: standard error, the others: standard
// output); `version` is the tool's, for formats that name it; `colour` decides for text, on
// standard error's terminal and environment.
std::unique_ptr<Reporter> make_reporter(Format format, std::string_view version = "",
                                        ColourMode colour = ColourMode::Auto);
// The same on any stream; `colour` is used by text only.
std::unique_ptr<Reporter> make_reporter_on(Format format, std::ostream& out,
                                           std::string_view version, bool colour);

}  // namespace tarnwick::report
