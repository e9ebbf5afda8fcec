#include "tarnwick/core/sections/script_config.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<SnatPoliciesConfig>& SnatPoliciesConfig::schema() {
  using R = SnatPoliciesConfig;
  static const Schema<R> schema{"SnatPoliciesConfig",
                                {
                                    {"src_ip", &R::src_ip, t::optional(t::_str)},
                                    {"connection", &R::connection, t::optional(t::_str)},
                                    {"new_src_ip", &R::new_src_ip, t::optional(t::_str)},
                                    {"protocol", &R::protocol, t::_str},
                                }};
  return schema;
}

const Schema<ScriptConfig>& ScriptConfig::schema() {
  using R = ScriptConfig;
  static const Schema<R> schema{
      "ScriptConfig",
      {
          {"add_vpc_cidr", &R::add_vpc_cidr, t::boolean},
          {"allow_vpc_cidrs", &R::allow_vpc_cidrs, t::CIDRList},
          {"configure_gw_name", &R::configure_gw_name, t::boolean},
          {"configure_spoke_advertisement", &R::configure_spoke_advertisement, t::boolean},
          {"configure_transit_gw_egress", &R::configure_transit_gw_egress, t::optional(t::boolean)},
          {"configure_gw_lb_ep", &R::configure_gw_lb_ep, t::optional(t::boolean)},
          {"configure_spoke_gw_hs", &R::configure_spoke_gw_hs, t::optional(t::boolean),
           check(&R::validate_configure_spoke_gw_hs)},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::boolean},
          {"filter_tgw_attachment_subnet", &R::filter_tgw_attachment_subnet, t::boolean},
          {"filter_vgw_routes", &R::filter_vgw_routes, t::optional(t::boolean)},
          {"filter_tgw_routes", &R::filter_tgw_routes, t::optional(t::boolean)},
          {"route_table_tags", &R::route_table_tags, t::Tags},
          {"subnet_tags", &R::subnet_tags, t::Tags},
          {"snat_policies", &R::snat_policies,
           t::optional(t::list(t::record<SnatPoliciesConfig>()))},
          {"import_resources", &R::import_resources, t::optional(t::boolean)},
          {"migrate_natgw_eip", &R::migrate_natgw_eip, t::optional(t::boolean)},
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
