// Every rule a fault can name (ErrorDetail::rule_id()), with fixed texts: code scanning keys its
// alerts by rule id and shows a rule's texts, so neither may depend on what a run found.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/errors.hpp"

namespace tarnwick::core {

// A field a rule is about: its key path from the document's root (keys alone, dotted, list
// indexes and mapping keys left out) and its row's description.
struct RuleField {
  std::string path;
  std::string_view description;
};

struct Rule {
  std::string id;    // as rule_id() gives it: "check_encrypt_key", "value_error.missing"
  std::string name;  // the id in one word: "CheckEncryptKey"
  std::string_view short_description;
  std::string_view full_description;
  Severity level = Severity::error;  // what its faults are unless a run decides otherwise
  std::vector<RuleField> fields;     // in document order
  bool migration_only = false;       // a discovery-only run does not check it
  bool makes_required = false;       // its faults are of a missing key: its fields are required
};

// The registry, in a fixed order: the frame's own fault types, the checks the record tables
// name (in table order from the document down, record checks included), the rules of
// check_config, the faults of the document as a whole, then the lint rules and the warning on an
// unknown id of the ignore comment. The check ids are read from the tables, so a new check is a
// rule as soon as it is in a table. Built once (thread-safe).
const std::vector<Rule>& rules();

// The position of a rule in rules(), or rules().size() when no rule has that id.
std::size_t rule_index(std::string_view id);

// A rule's help: its full description, then one line per field, "path: description".
std::string rule_help(const Rule& rule);

}  // namespace tarnwick::core
