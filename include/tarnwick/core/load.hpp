// One load: the tool, the entry points of config_vpc_migration.hpp and the Python module all
// load a document through load(Source, LoadOptions).
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/errors.hpp"
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
  // not only a duplicate listed in the result, so no setting is silently overridden.
  bool strict_duplicates = false;
  // What reading the document may take (depth, sizes, alias expansion); a JSON value is held to
  // its depth, a tree to nothing (it was read elsewhere).
  yaml::Limits limits{};
  // The host's own migration-mode ids, when it has them; nullptr: the built-in ones.
  const std::vector<std::string>* mode_ids = nullptr;
};

struct LoadResult {
  std::optional<DiscoveryConfiguration> config;  // the document, when it has no fault
  std::optional<ValidationError> error;          // every fault, when it has
  std::optional<TypeError> not_mapping;          // the document is not a mapping (nothing built)
  // With not_mapping: the text holds no value at all (empty, or only comments), which the tool
  // says in those words rather than as "not null".
  bool empty_document = false;
  std::vector<yaml::DuplicateKey> duplicates;  // keys written twice (the later value won)
  std::string name;                            // the source's name
  std::string text;  // the text read from a file or standard input (for quoting source lines)

  // The document; what stopped it is thrown instead: the not_mapping TypeError, or the
  // ValidationError.
  DiscoveryConfiguration& document();
  // With not_mapping, what an operator is told: "the document is empty" for a text with no
  // value (a slip, not a document of the wrong shape), else the TypeError's message.
  std::string not_mapping_reason() const;
};

// Loads a document; when it is a mapping, records its mode as the process-wide one
// (BaseModel::discovery_only). Faults of the document are in the result, and so is a document
// that is not a mapping; an unreadable file throws std::filesystem::filesystem_error
// (std::system_error for standard input), malformed YAML yaml::YamlError, a JSON value nested too
// deeply std::invalid_argument. Nothing is printed.
LoadResult load(const Source& source, const LoadOptions& options = {});

// A duplicate key as a fault of the report: located at the key, at the position of the value
// that won.
ErrorDetail duplicate_key_fault(const yaml::DuplicateKey& duplicate);

}  // namespace tarnwick::core
