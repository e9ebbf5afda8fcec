// The host's entry points: load a migration document (printing the report and ending the run
// with SystemExit on a failed load, as the host tool expects) and dump a loaded one. They are
// thin forms of core::load (load.hpp), which reports every outcome as data.
#pragma once

#include <exception>
#include <filesystem>
#include <string>

#include <nlohmann/json.hpp>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// The exit request of a failed load: the error report has been printed on standard output;
// the caller ends the run with status(). cause() is the validation error.
class SystemExit : public std::exception {
 public:
  SystemExit(int status, ValidationError cause);
  int status() const { return status_; }
  const ValidationError& cause() const { return cause_; }
  const char* what() const noexcept override { return what_.c_str(); }

 private:
  int status_;
  ValidationError cause_;
  std::string what_;
};

// Reads the YAML file and loads it with load_from_dict. A missing or unreadable file throws
// std::filesystem::filesystem_error; a YAML fault throws yaml::YamlError; neither is printed.
DiscoveryConfiguration load_from_yaml(const std::filesystem::path& yml_path,
                                      bool discovery_only = false);

// Sets the process-wide mode, builds the document, and returns it. A failed validation prints
// the error JSON and a newline on standard output, then throws SystemExit(1). A config_dict that
// is not a mapping throws TypeError (nothing printed, mode untouched).
DiscoveryConfiguration load_from_dict(const yaml::Node& config_dict, bool discovery_only = false);
DiscoveryConfiguration load_from_dict(const nlohmann::ordered_json& config_dict,
                                      bool discovery_only = false);

// The non-printing form: the document, or ValidationError. Sets the process-wide mode as a load
// does; TypeError for a config_dict that is not a mapping.
DiscoveryConfiguration build_document(const yaml::Node& config_dict, bool discovery_only = false);

// Every field of every record in field order, defaults and nulls included, addresses and
// networks as text, an absent `tgw` as {}, tf_cloud.tags as its text.
nlohmann::ordered_json dump_to_dict(const DiscoveryConfiguration& config);

// Reserved: writes nothing and reads nothing.
void dump_to_yaml(const DiscoveryConfiguration& config, const std::filesystem::path& dest);

}  // namespace tarnwick::core
