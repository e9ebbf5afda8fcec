// Configuration options for discovery migration: the document record and the entry points that
// load and dump a migration document. Every record type is reachable from this header.
#pragma once

#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/globals.hpp"
#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/sections/account_info.hpp"
#include "tarnwick/core/sections/backup.hpp"
#include "tarnwick/core/sections/corvane.hpp"
#include "tarnwick/core/sections/scope.hpp"
#include "tarnwick/core/sections/script_config.hpp"
#include "tarnwick/core/sections/terraform.hpp"
#include "tarnwick/core/sections/tf_cloud.hpp"
#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {

// The whole discovery-and-migration document.
struct DiscoveryConfiguration : ModeIdConfig {
  TerraformConfig terraform;
  std::optional<CorvaneConfig> corvane;
  std::vector<AccountInfo> account_info;
  AlertConfig alert;
  ScriptConfig config;
  CleanupConfig cleanup;
  SwitchTrafficConfig switch_traffic;
  std::optional<BackupConfig> aws;
  // Empty (nullopt) when the document has no `tgw` key: reads as empty and dumps as {}. A
  // document that gives the key holds a TGWConfig (a null section is rejected).
  std::optional<TGWConfig> tgw;

  // The controller section is required unless the tool only discovers.
  static std::optional<CorvaneConfig> check_field_for_none(std::optional<CorvaneConfig> val,
                                                           const FieldInfo& field,
                                                           const BuildContext& context);
  // Relates the script switches to every VPC of every account.
  static ScriptConfig check_config(ScriptConfig val, const Values<DiscoveryConfiguration>& values,
                                   const BuildContext& context);
  // Deleting peerings needs gateway naming.
  static CleanupConfig check_cleanup(CleanupConfig val,
                                     const Values<DiscoveryConfiguration>& values,
                                     const BuildContext& context);
  // A `tgw` key must carry settings.
  static std::optional<TGWConfig> check_tgw_for_none(std::optional<TGWConfig> val);

  // Whether `ip` lies inside one of `prefixes` (a network equal to one counts).
  static bool isExpectedVpcPrefix(const IPv4Network& ip, const CIDRList& prefixes);
  // The same for CIDR text; text that is no network (host bits set included) throws
  // std::invalid_argument.
  static bool isExpectedVpcPrefix(std::string_view ip, const CIDRList& prefixes);

  static constexpr auto fields();
  friend bool operator==(const DiscoveryConfiguration&, const DiscoveryConfiguration&) = default;
};

constexpr auto DiscoveryConfiguration::fields() {
  using R = DiscoveryConfiguration;
  namespace t = types;
  return table<R>(
      "DiscoveryConfiguration", "A whole discovery-and-migration document.",
      ModeIdConfig::inherited_fields(),
      field("terraform", &R::terraform, t::record<TerraformConfig>(), required,
            doc("Where the generated Terraform goes and how it is parametrised.")),
      field("corvane", &R::corvane, t::optional(t::record<CorvaneConfig>()),
            check_always(&R::check_field_for_none, "check_field_for_none"),
            doc("Onboarding onto the Corvane controller; required unless discovery only.")),
      field("account_info", &R::account_info, t::list(t::record<AccountInfo>()), required, streamed,
            doc("The spoke accounts, their regions and the VPCs to migrate.")),
      field("alert", &R::alert, t::record<AlertConfig>(), doc("When to raise alerts.")),
      field("config", &R::config, t::record<ScriptConfig>(),
            check(&R::check_config, "check_config"),
            doc("Switches of the migration features for the whole document.")),
      field("cleanup", &R::cleanup, t::record<CleanupConfig>(),
            check(&R::check_cleanup, "check_cleanup"),
            doc("What cleanup removes after the migration.")),
      field("switch_traffic", &R::switch_traffic, t::record<SwitchTrafficConfig>(),
            doc("Timing of the traffic switch.")),
      field("aws", &R::aws, t::optional(t::record<BackupConfig>()),
            doc("Backup of the generated account folder to S3.")),
      field("tgw", &R::tgw, t::or_empty(t::record<TGWConfig>()),
            check(&R::check_tgw_for_none, "check_tgw_for_none"),
            doc("The transit gateways (absent: none); when the key is given it must not be "
                "null.")));
}

// When the checks across sections saw less than the document holds, because a section they read
// failed its own checks: a note at the `config` key saying so (nothing when they saw it all).
std::optional<ErrorDetail> checks_not_run(const yaml::Node& root,
                                          std::span<const ErrorDetail> faults,
                                          const BuildContext& context);

// ---------------------------------------------------------------------------------------------
// Entry points.

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

// A value of the wrong kind handed to an entry point.
class TypeError : public std::invalid_argument {
 public:
  using std::invalid_argument::invalid_argument;
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

// What reading YAML text and building it in one pass gives.
struct DocumentRead {
  std::optional<DiscoveryConfiguration> config;  // the document, when valid
  std::optional<ValidationError> error;          // every fault, when not
  std::optional<TypeError> not_mapping;          // the document is not a mapping (nothing built)
  std::vector<yaml::DuplicateKey> duplicates;    // keys written twice (see yaml::Document)
};

// Reads YAML text and builds the document in one pass, with the results of build_document (the
// mode set the same way): accounts and VPCs are built as soon as the reader completes them, so
// the node tree never holds more than one account at a time. A YAML fault throws
// yaml::YamlError; nothing is printed.
DocumentRead read_document(std::string_view text, std::string name, bool discovery_only = false);

// Every field of every record in field order, defaults and nulls included, addresses and
// networks as text, an absent `tgw` as {}, tf_cloud.tags as its text.
nlohmann::ordered_json dump_to_dict(const DiscoveryConfiguration& config);

// Reserved: writes nothing and reads nothing.
void dump_to_yaml(const DiscoveryConfiguration& config, const std::filesystem::path& dest);

// A parsed JSON value as a node tree (no source positions); nesting deeper than limits.max_depth
// throws std::invalid_argument.
yaml::Document document_from_json(const nlohmann::ordered_json& value,
                                  const yaml::Limits& limits = {});

}  // namespace tarnwick::core
