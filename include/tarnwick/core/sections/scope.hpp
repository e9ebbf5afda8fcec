// The sections that complete a migration's scope: alerts, transit gateways, switch-traffic
// timing and cleanup.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

struct AlertConfig : BaseModel {
  CIDRList expect_dest_cidrs = _default_network();
  CIDRList expect_vpc_prefixes = _default_network();
  std::optional<bool> check_gateway_existence = true;

  static const Schema<AlertConfig>& schema();
  friend bool operator==(const AlertConfig&, const AlertConfig&) = default;
};

// The transit gateways, all in the one account this record names.
struct TGWConfig : BaseModel {
  std::string tgw_account;
  std::string tgw_role;
  OrderedMap<std::string, std::string> tgw_by_region;  // region name -> transit gateway id

  static const Schema<TGWConfig>& schema();
  friend bool operator==(const TGWConfig&, const TGWConfig&) = default;
};

struct SwitchTrafficConfig : BaseModel {
  std::string delete_tgw_route_delay = "5";  // seconds, kept as text

  static const Schema<SwitchTrafficConfig>& schema();
  friend bool operator==(const SwitchTrafficConfig&, const SwitchTrafficConfig&) = default;
};

struct CleanupConfig : BaseModel {
  CIDRList vpc_cidrs;
  std::vector<std::string> resources;  // each one of CLEANUP_RESOURCES
  bool report_only = false;

  static const Schema<CleanupConfig>& schema();
  friend bool operator==(const CleanupConfig&, const CleanupConfig&) = default;
};

}  // namespace tarnwick::core
