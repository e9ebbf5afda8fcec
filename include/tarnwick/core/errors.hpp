// Validation errors: every fault of one build, each located by its key path and source position.
#pragma once

#include <cstddef>
#include <cstdint>
#include <exception>
#include <optional>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// One step of a location: a mapping key or a list index.
using LocPart = yaml::PathPart;
using Loc = yaml::Path;

std::string loc_text(const Loc& loc);  // "account_info.0.regions" for messages

// How much a fault weighs: an error fails the document; a warning (a key written twice) and a
// note (checks that could not run) are told but never change the verdict unless asked.
enum class Severity : std::uint8_t { error, warning, note };

// What a fault is about, which decides the range it is shown over: the whole node at its mark
// (a value), only the key written at its mark (an undeclared key, a missing one, a key written
// twice), or the document as a whole (it could not be read at all).
enum class About : std::uint8_t { value, key, document };

// How sure a fix is of what was meant. A safe fix changes nothing but the spelling (a key
// renamed to the one key it is nearest to, a choice's letter case): `check --fix` makes it. An
// unsafe one changes the value (host bits cleared, a zone read as its region, a scalar made a
// list), which the writer may not have meant: made only on request (`--unsafe-fixes`).
enum class Applicability : std::uint8_t { safe, unsafe };

const char* applicability_name(Applicability applicability);  // "safe", "unsafe"

// A text that mends a fault: it replaces [start, end), the fault's own range unless the maker
// says otherwise. `title` is what an editor or `--fix` calls it ("Rename the key to `region`").
struct Fix {
  std::string text;
  std::string title;
  yaml::Mark start;  // unknown: the fault's start
  yaml::Mark end;    // unknown: the fault's end
  Applicability applicability = Applicability::unsafe;
};

// The fix that writes `text` in place of the fault's node; its maker says how sure it is.
inline Fix change_to(std::string text, Applicability applicability) {
  std::string title = "Change to `" + text + "`";
  return Fix{std::move(text), std::move(title), {}, {}, applicability};
}

// Another place a fault concerns: the first of two keys, each VPC a rule across sections names.
// `loc` is the place's key path from the document's root; the load finds `start` and `end` from
// it when the document came from text and the maker did not know them.
struct Related {
  Loc loc;
  std::string message;
  yaml::Mark start;
  yaml::Mark end;
  // The fault holds here too (a VPC a rule names), rather than this being only a place to look
  // (where a key was first written): editors mark it as a fault of its own.
  bool finding = false;
};

// One fault, as every client receives it: the tool's reports, the language server and the
// Python module only render these.
struct ErrorDetail {
  Loc loc;
  std::string msg;
  std::string type;            // e.g. "value_error.missing"
  nlohmann::ordered_json ctx;  // extra facts of the error (limit, pattern, choices); null if none
  yaml::Mark mark;             // source position, when the input came from YAML text
  std::string hint;            // one line of help for the reader; empty when none
  Severity severity = Severity::error;
  About about = About::value;
  // The check or frame rule that made it: a check's name ("check_field_for_none", or
  // "check_config.gw_names_given" for one rule of a check); empty for the frame's own faults,
  // whose type names them.
  std::string_view rule;
  std::optional<Fix> fix;
  std::vector<Related> related;
  // Where the fault's range ends; filled by the load from the text, unknown without one.
  yaml::Mark end;
  // When msg ends with a list of the places in `related` (VPC triples), where that list begins
  // and what joins its items, so that a client may shorten it (see shown_message).
  std::size_t listed_from = std::string::npos;
  std::string_view list_separator;

  // The rule as reports name it: `rule` when a check made the fault, else its type.
  std::string_view rule_id() const { return rule.empty() ? std::string_view(type) : rule; }

  nlohmann::ordered_json to_json() const;
};

// The message with a long list of places cut after `max_items`: "...; account: 1, region: x,
// vpc: y and 4,212 more". The exact message otherwise.
std::string shown_message(const ErrorDetail& fault, std::size_t max_items);

// The frame's fault types that clients tell apart.
namespace kind {
inline constexpr std::string_view kMissing = "value_error.missing";
inline constexpr std::string_view kExtra = "value_error.extra";
inline constexpr std::string_view kDuplicateKey = "value_error.duplicate_key";
inline constexpr std::string_view kChecksSkipped = "note.checks_skipped";
// A document stopped before validation: the one fault it gets.
inline constexpr std::string_view kMalformedYaml = "document_error.malformed_yaml";
inline constexpr std::string_view kUnreadableFile = "document_error.unreadable_file";
inline constexpr std::string_view kNotMapping = "document_error.not_mapping";
}  // namespace kind

const char* severity_name(Severity severity);  // "error", "warning", "note"

// The one failure of a build: every error found, in the order found.
class ValidationError : public std::exception {
 public:
  ValidationError(std::string model, std::vector<ErrorDetail> errors);

  const std::string& model() const { return model_; }
  const std::vector<ErrorDetail>& errors() const { return errors_; }
  // For the load, which places the faults (ranges, related places) after the build: nothing it
  // changes is part of the summary.
  std::vector<ErrorDetail>& errors_to_place() { return errors_; }

  // A JSON array, one object per error: "loc", "msg", "type", "ctx" when present, and "line" and
  // "column" when known.
  nlohmann::ordered_json to_json() const;
  // That array as text, indented by 2, non-ASCII escaped (what a failed load prints).
  std::string json() const;
  // "2 validation errors for VPCConfig\nvpc_id\n  field required (type=value_error.missing)..."
  const char* what() const noexcept override { return summary_.c_str(); }

 private:
  std::string model_;
  std::vector<ErrorDetail> errors_;
  std::string summary_;
};

// A check's rejection: the check's message, carried unchanged into the error, a hint that goes
// beside it, and what else the fault knows (the rule, the places it names).
class ValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  ValueError(const std::string& message, std::string hint)
      : std::runtime_error(message), hint_(std::move(hint)) {}

  const std::string& hint() const { return hint_; }

  // The rule that failed, when a check has several ("check_config.gw_names_given"); the build
  // names the check itself otherwise.
  std::string_view rule() const { return rule_; }
  ValueError& with_rule(std::string_view rule) {
    rule_ = rule;
    return *this;
  }
  // The places the message lists (each VPC), and where that list begins in the message.
  const std::vector<Related>& related() const { return related_; }
  std::size_t listed_from() const { return listed_from_; }
  std::string_view list_separator() const { return list_separator_; }
  ValueError& with_places(std::vector<Related> related, std::size_t listed_from,
                          std::string_view separator) {
    related_ = std::move(related);
    listed_from_ = listed_from;
    list_separator_ = separator;
    return *this;
  }

 private:
  std::string hint_;
  std::string_view rule_;
  std::vector<Related> related_;
  std::size_t listed_from_ = std::string::npos;
  std::string_view list_separator_;
};

// A value of the wrong kind handed to an entry point (a document that is not a mapping).
class TypeError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
};

}  // namespace tarnwick::core
