// The `config` section: the switches that turn migration features on and off for the whole
// document, and the source-NAT policies.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

// One source-NAT policy; its values are kept as text, not parsed.
struct SnatPoliciesConfig : BaseModel {
  std::optional<std::string> src_ip;
  std::optional<std::string> connection;
  std::optional<std::string> new_src_ip;
  std::string protocol = "all";

  static const Schema<SnatPoliciesConfig>& schema();
  friend bool operator==(const SnatPoliciesConfig&, const SnatPoliciesConfig&) = default;
};

struct ScriptConfig : BaseModel {
  bool add_vpc_cidr = true;
  CIDRList allow_vpc_cidrs = _default_network();
  bool configure_gw_name = true;
  bool configure_spoke_advertisement = false;
  std::optional<bool> configure_transit_gw_egress = false;
  std::optional<bool> configure_gw_lb_ep = false;
  std::optional<bool> configure_spoke_gw_hs = false;
  bool enable_spoke_egress = false;
  bool filter_tgw_attachment_subnet = false;
  std::optional<bool> filter_vgw_routes = true;
  std::optional<bool> filter_tgw_routes = true;
  Tags route_table_tags;
  Tags subnet_tags;
  std::optional<std::vector<SnatPoliciesConfig>> snat_policies;
  std::optional<bool> import_resources = true;
  std::optional<bool> migrate_natgw_eip = false;

  // The several-CIDR gateway mode needs gateway naming on and VPC CIDR adding off.
  static std::optional<bool> validate_configure_spoke_gw_hs(std::optional<bool> val,
                                                            const Values<ScriptConfig>& values);

  static const Schema<ScriptConfig>& schema();
  friend bool operator==(const ScriptConfig&, const ScriptConfig&) = default;
};

}  // namespace tarnwick::core
