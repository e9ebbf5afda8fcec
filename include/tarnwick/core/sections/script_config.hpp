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

  static constexpr auto fields();
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

  static constexpr auto fields();
  friend bool operator==(const ScriptConfig&, const ScriptConfig&) = default;
};

constexpr auto SnatPoliciesConfig::fields() {
  using R = SnatPoliciesConfig;
  namespace t = types;
  return table<R>(
      "SnatPoliciesConfig", "One source-NAT policy, its values as text.",
      field("src_ip", &R::src_ip, t::optional(t::_str), doc("Source CIDR the policy matches.")),
      field("connection", &R::connection, t::optional(t::_str),
            doc("Connection the policy matches.")),
      field("new_src_ip", &R::new_src_ip, t::optional(t::_str),
            doc("Source address that matching traffic is translated to.")),
      field("protocol", &R::protocol, t::_str, doc("Protocol the policy matches.")));
}

constexpr auto ScriptConfig::fields() {
  using R = ScriptConfig;
  namespace t = types;
  return table<R>(
      "ScriptConfig", "The `config` section: the document's feature switches.",
      field("add_vpc_cidr", &R::add_vpc_cidr, t::boolean, doc("Add crvn_cidr to the VPCs.")),
      field("allow_vpc_cidrs", &R::allow_vpc_cidrs, t::CIDRList,
            doc("Only VPC CIDRs within these are migrated.")),
      field("configure_gw_name", &R::configure_gw_name, t::boolean,
            doc("Name the gateways after spoke_gw_name and transit_gw_name.")),
      field("configure_spoke_advertisement", &R::configure_spoke_advertisement, t::boolean,
            doc("Set each spoke gateway's advertised CIDRs.")),
      field("configure_transit_gw_egress", &R::configure_transit_gw_egress, t::optional(t::boolean),
            doc("Also attach the spokes to their egress transit gateway.")),
      field("configure_gw_lb_ep", &R::configure_gw_lb_ep, t::optional(t::boolean),
            doc("Configure gateway load balancer endpoints.")),
      field("configure_spoke_gw_hs", &R::configure_spoke_gw_hs, t::optional(t::boolean),
            check(&R::validate_configure_spoke_gw_hs, "validate_configure_spoke_gw_hs"),
            doc("Deploy spoke gateways over several CIDRs (needs configure_gw_name on and "
                "add_vpc_cidr off).")),
      field("enable_spoke_egress", &R::enable_spoke_egress, t::boolean,
            doc("Turn egress on for every spoke gateway.")),
      field("filter_tgw_attachment_subnet", &R::filter_tgw_attachment_subnet, t::boolean,
            doc("Leave the transit gateway attachment subnets out.")),
      field("filter_vgw_routes", &R::filter_vgw_routes, t::optional(t::boolean),
            doc("Leave routes propagated by virtual private gateways out.")),
      field("filter_tgw_routes", &R::filter_tgw_routes, t::optional(t::boolean),
            doc("Leave routes that point to transit gateways out.")),
      field("route_table_tags", &R::route_table_tags, t::Tags,
            doc("Tags of the route tables created: a list of name-to-value mappings.")),
      field("subnet_tags", &R::subnet_tags, t::Tags,
            doc("Tags of the subnets created: a list of name-to-value mappings.")),
      field("snat_policies", &R::snat_policies,
            t::optional(t::list(t::record<SnatPoliciesConfig>())),
            doc("Source-NAT policies of the spoke gateways.")),
      field("import_resources", &R::import_resources, t::optional(t::boolean),
            doc("Import the existing resources into the Terraform state.")),
      field("migrate_natgw_eip", &R::migrate_natgw_eip, t::optional(t::boolean),
            doc("Move the NAT gateway's Elastic IP to the spoke gateway.")));
}

}  // namespace tarnwick::core
