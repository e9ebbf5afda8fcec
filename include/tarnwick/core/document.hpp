// The document record: every section of a discovery-and-migration document, and the checks that
// relate sections to each other. Every record type is reachable from this header.
#pragma once

#include <optional>
#include <span>
#include <string_view>
#include <vector>

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

}  // namespace tarnwick::core
