// Validation errors: every fault of one build, each located by its key path and source position.
#pragma once

#include <cstdint>
#include <exception>
#include <stdexcept>
#include <string>
#include <utility>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// One step of a location: a mapping key or a list index.
using LocPart = std::variant<std::string, std::int64_t>;
using Loc = std::vector<LocPart>;

std::string loc_text(const Loc& loc);  // "account_info.0.regions" for messages

struct ErrorDetail {
  Loc loc;
  std::string msg;
  std::string type;            // e.g. "value_error.missing"
  nlohmann::ordered_json ctx;  // extra facts of the error (limit, pattern, choices); null if none
  yaml::Mark mark;             // source position, when the input came from YAML text
  std::string hint;            // one line of help for the reader; empty when none
  // The text meant instead of the node at `mark` (a key or a value) when the fault names it
  // (a mistyped key, a choice in the wrong case, a network with host bits): editors offer it as
  // a fix. Not part of the reports.
  std::string suggestion;

  nlohmann::ordered_json to_json() const;
};

// The one failure of a build: every error found, in the order found.
class ValidationError : public std::exception {
 public:
  ValidationError(std::string model, std::vector<ErrorDetail> errors);

  const std::string& model() const { return model_; }
  const std::vector<ErrorDetail>& errors() const { return errors_; }

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

// A check's rejection: the check's message, carried unchanged into the error, and a hint that
// goes beside it.
class ValueError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  ValueError(const std::string& message, std::string hint)
      : std::runtime_error(message), hint_(std::move(hint)) {}

  const std::string& hint() const { return hint_; }

 private:
  std::string hint_;
};

}  // namespace tarnwick::core
