#include "tarnwick/core/sections/script_config.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<SnatPoliciesConfig>& SnatPoliciesConfig::schema() {
  using R = SnatPoliciesConfig;
  static const Schema<R> schema{
      "SnatPoliciesConfig",
      {
          {"src_ip", &R::src_ip, t::optional(t::_str), doc("Source CIDR the policy matches.")},
          {"connection", &R::connection, t::optional(t::_str),
           doc("Connection the policy matches.")},
          {"new_src_ip", &R::new_src_ip, t::optional(t::_str),
           doc("Source address that matching traffic is translated to.")},
          {"protocol", &R::protocol, t::_str, doc("Protocol the policy matches.")},
      }};
  return schema;
}

const Schema<ScriptConfig>& ScriptConfig::schema() {
  using R = ScriptConfig;
  static const Schema<R> schema{
      "ScriptConfig",
      {
          {"add_vpc_cidr", &R::add_vpc_cidr, t::boolean, doc("Add crvn_cidr to the VPCs.")},
          {"allow_vpc_cidrs", &R::allow_vpc_cidrs, t::CIDRList,
           doc("Only VPC CIDRs within these are migrated.")},
          {"configure_gw_name", &R::configure_gw_name, t::boolean,
           doc("Name the gateways after spoke_gw_name and transit_gw_name.")},
          {"configure_spoke_advertisement", &R::configure_spoke_advertisement, t::boolean,
           doc("Set each spoke gateway's advertised CIDRs.")},
          {"configure_transit_gw_egress", &R::configure_transit_gw_egress, t::optional(t::boolean),
           doc("Also attach the spokes to their egress transit gateway.")},
          {"configure_gw_lb_ep", &R::configure_gw_lb_ep, t::optional(t::boolean),
           doc("Configure gateway load balancer endpoints.")},
          {"configure_spoke_gw_hs", &R::configure_spoke_gw_hs, t::optional(t::boolean),
           check(&R::validate_configure_spoke_gw_hs),
           doc("Deploy spoke gateways over several CIDRs (needs configure_gw_name on and "
               "add_vpc_cidr off).")},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::boolean,
           doc("Turn egress on for every spoke gateway.")},
          {"filter_tgw_attachment_subnet", &R::filter_tgw_attachment_subnet, t::boolean,
           doc("Leave the transit gateway attachment subnets out.")},
          {"filter_vgw_routes", &R::filter_vgw_routes, t::optional(t::boolean),
           doc("Leave routes propagated by virtual private gateways out.")},
          {"filter_tgw_routes", &R::filter_tgw_routes, t::optional(t::boolean),
           doc("Leave routes that point to transit gateways out.")},
          {"route_table_tags", &R::route_table_tags, t::Tags,
           doc("Tags of the route tables created: a list of name-to-value mappings.")},
          {"subnet_tags", &R::subnet_tags, t::Tags,
           doc("Tags of the subnets created: a list of name-to-value mappings.")},
          {"snat_policies", &R::snat_policies,
           t::optional(t::list(t::record<SnatPoliciesConfig>())),
           doc("Source-NAT policies of the spoke gateways.")},
          {"import_resources", &R::import_resources, t::optional(t::boolean),
           doc("Import the existing resources into the Terraform state.")},
          {"migrate_natgw_eip", &R::migrate_natgw_eip, t::optional(t::boolean),
           doc("Move the NAT gateway's Elastic IP to the spoke gateway.")},
      }};
  return schema;
}

std::optional<bool> ScriptConfig::validate_configure_spoke_gw_hs(
    std::optional<bool> val, const Values<ScriptConfig>& values) {
  if (val != true) return val;
  if (const bool* gw_name = values.get(&ScriptConfig::configure_gw_name);
      gw_name != nullptr && !*gw_name) {
    throw ValueError("To enable configure_spoke_gw_hs, configure_gw_name must be set to True");
  }
  if (const bool* add = values.get(&ScriptConfig::add_vpc_cidr); add != nullptr && *add) {
    throw ValueError("To enable configure_spoke_gw_hs, add_vpc_cidr must be set to False");
  }
  return val;
}

}  // namespace tarnwick::core
