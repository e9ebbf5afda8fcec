// One load: the tool, the entry points of config_vpc_migration.hpp and the Python module all
// load a document through load(Source, LoadOptions).
#pragma once

#include <exception>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/lint.hpp"
#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {

// What a document is loaded from. Text sources (a file, standard input, text) are read in one
// pass that builds accounts and VPCs as soon as each is complete, so a large document is never
// held as one node tree; a node tree or a JSON value is built as it is.
class Source {
 public:
  static Source file(std::filesystem::path path);
  static Source standard_input();
  // Text, a tree read or made elsewhere, or a parsed JSON value: each must outlive the load (none
  // is copied: a document may be large, and a hostile value may nest too deeply to copy safely).
  static Source text(std::string_view text, std::string name = "<string>");
  static Source tree(const yaml::Node& root, std::string name = "<dict>");
  static Source json(const nlohmann::ordered_json& value, std::string name = "<dict>");

  // The name faults are reported under: the file's path, "<stdin>", or the name given.
  const std::string& name() const { return name_; }

  struct Stdin {};
  using Input = std::variant<std::filesystem::path, Stdin, std::string_view, const yaml::Node*,
                             const nlohmann::ordered_json*>;
  const Input& input() const { return input_; }

 private:
  Source(Input input, std::string name) : input_(std::move(input)), name_(std::move(name)) {}

  Input input_;
  std::string name_;
};

struct LoadOptions {
  // Relaxes the rules that only matter for a migration.
  bool discovery_only = false;
  // A key written twice in one mapping is also a fault of the report (value_error.duplicate_key),
  // not only a warning, so no setting is silently overridden.
  bool strict_duplicates = false;
  // What reading the document may take (depth, sizes, alias expansion); a JSON value is held to
  // its depth, a tree to nothing (it was read elsewhere).
  yaml::Limits limits{};
  // The host's own migration-mode ids, when it has them; nullptr: the built-in ones.
  const std::vector<std::string>* mode_ids = nullptr;
  // The host's own gateway-name keys (BuildContext::gw_name_keys); nullptr: GW_NAME_KEYS.
  const std::vector<std::string>* gw_name_keys = nullptr;
  // A text's first-line comment ("# tarnwick-config: discovery-only" or "... migration") decides
  // its mode over discovery_only, which then only gives the mode of a text without one. The
  // operator's tools honour it; a host that passes the mode itself does not.
  bool mode_comment = false;
  // On a document with faults or warnings, find where each ends and where each related place is
  // from the text (one more scan of it): reports and editors show ranges.
  bool ranges = true;
  // A file's or standard input's text is kept in LoadResult::text. Off: kept only for a document
  // with something to report, and a valid file's text is never held whole (it is read in pieces
  // while it is parsed; any other outcome reads it again, whole, and loads that).
  bool keep_text = true;
  // The lint rules to run (the operator's tools: LintSet::defaults() and what the operator asked
  // for); empty, the default: no lint, and the load is exactly the library's. The rules seen
  // while values are converted warn on any document, those that read the records only on a
  // valid one. A text's "# tarnwick-config: ignore RULE, ..." comment lines at its top turn rules
  // off for that text; an id there that names no rule is a warning of its own.
  LintSet lint{};
  // Lint warnings are also faults of the report, as strict_duplicates makes keys written twice.
  bool strict_lint = false;
};

// What became of one document: every outcome is data, none is thrown.
struct LoadResult {
  std::optional<DiscoveryConfiguration> config;  // the document, when it has no fault
  std::optional<ValidationError> error;          // every fault, when it has
  // What stopped a document before validation (its one fault, About::document or at the mark of
  // malformed YAML): unreadable, malformed, too deep, not a mapping, empty.
  std::optional<ErrorDetail> fatal;
  std::exception_ptr cause;              // with `fatal`: what the reader threw, for hosts
  std::optional<TypeError> not_mapping;  // the document is not a mapping (nothing built)
  // With not_mapping: the text holds no value at all (empty, or only comments).
  bool empty_document = false;
  // Warnings (keys written twice and lint, unless strict makes them faults) and notes (checks
  // that could not run), in document order.
  std::vector<ErrorDetail> warnings;
  std::vector<yaml::DuplicateKey> duplicates;  // keys written twice (the later value won)
  bool discovery_only = false;                 // the mode the document was checked in
  // The document is a mapping holding at least one of the document's keys: other YAML (a CI
  // workflow, a list) is not a migration document, and editors leave it alone.
  bool any_section = false;
  std::string name;  // the source's name
  std::string text;  // the text read from a file or standard input (for quoting source lines)

  // The faults of validation; empty when it passed or did not run.
  std::span<const ErrorDetail> faults() const;
  // The document; what stopped it is thrown instead: the reader's error, the not_mapping
  // TypeError, or the ValidationError.
  DiscoveryConfiguration& document();
  // With not_mapping, what an operator is told: "the document is empty" for a text with no
  // value (a slip, not a document of the wrong shape), else what the document is instead.
  std::string not_mapping_reason() const;
};

// The mode a text asks for on its first line: "# tarnwick-config: discovery-only" (true) or
// "# tarnwick-config: migration" (false); nullopt when it names none.
std::optional<bool> mode_comment(std::string_view text);

// The document's top-level keys, in order.
std::span<const std::string_view> document_keys();

// Loads a document; when it is a mapping, records its mode as the process-wide one
// (BaseModel::discovery_only). Nothing is printed and nothing about the document is thrown.
LoadResult load(const Source& source, const LoadOptions& options = {});

// A duplicate key as a fault of the report: located at the key, at the position of the value
// that won.
ErrorDetail duplicate_key_fault(const yaml::DuplicateKey& duplicate);

}  // namespace tarnwick::core
