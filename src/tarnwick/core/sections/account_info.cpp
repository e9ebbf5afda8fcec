#include "tarnwick/core/sections/account_info.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<VPCConfig>& VPCConfig::schema() {
  using R = VPCConfig;
  static const Schema<R> schema{
      "VPCConfig",
      {
          {"vpc_id", &R::vpc_id, t::_str, required},
          {"crvn_cidr", &R::crvn_cidr, t::optional(t::ipv4_network)},
          {"crvn_cidrs", &R::crvn_cidrs, t::optional(t::CIDRList)},
          {"gw_zones", &R::gw_zones, t::list(t::_str)},
          {"eips", &R::eips, t::optional(t::IPAddressList)},
          {"spoke_gw_tags", &R::spoke_gw_tags, t::Tags},
          {"domain", &R::domain, t::optional(t::_str)},
          {"encrypt", &R::encrypt, t::optional(t::boolean)},
          {"encrypt_key", &R::encrypt_key, t::optional(t::_str), check(&R::check_encrypt_key)},
          {"inspection", &R::inspection, t::optional(t::boolean)},
          {"spoke_advertisement", &R::spoke_advertisement, t::optional(t::CIDRList)},
          {"spoke_routes", &R::spoke_routes, t::optional(t::CIDRList)},
          {"spoke_gw_name", &R::spoke_gw_name, t::optional(t::GWName)},
          {"transit_gw_name", &R::transit_gw_name, t::optional(t::GWName)},
          {"transit_gw_egress_name", &R::transit_gw_egress_name, t::optional(t::GWName)},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::optional(t::boolean)},
          {"spoke_gw_size", &R::spoke_gw_size, t::optional(t::_str)},
          {"hpe", &R::hpe, t::optional(t::boolean)},
          {"max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean)},
          {"spoke_ha", &R::spoke_ha, t::optional(t::boolean)},
          {"retain_peerings", &R::retain_peerings, t::list(t::string)},
          {"retain_peering_cidrs", &R::retain_peering_cidrs, t::CIDRList},
          {"customized_single_ip_snat", &R::customized_single_ip_snat, t::boolean},
          {"az_affinity", &R::az_affinity, t::optional(t::boolean)},
      }};
  return schema;
}

std::optional<std::string> VPCConfig::check_encrypt_key(std::optional<std::string> val,
                                                        const Values<VPCConfig>& values) {
  if (VPCConfig::discovery_only()) return val;
  const std::optional<bool>* encrypt = values.get(&VPCConfig::encrypt);
  bool encrypt_on = encrypt != nullptr && *encrypt == true;
  if (!encrypt_on && val) throw ValueError("encrypt must be True to set encrypt_key");
  return val;
}

const Schema<Region>& Region::schema() {
  using R = Region;
  static const Schema<R> schema{"Region",
                                {
                                    {"region", &R::region, t::RegionName, required},
                                    {"vpcs", &R::vpcs, t::list(t::record<VPCConfig>()), required},
                                }};
  return schema;
}

const Schema<AccountInfo>& AccountInfo::schema() {
  using R = AccountInfo;
  static const Schema<R> schema{
      "AccountInfo",
      {
          {"account_id", &R::account_id, t::digit_string, required},
          {"account_name", &R::account_name, t::optional(t::_str)},
          {"regions", &R::regions, t::list(t::record<Region>()), required},
          {"hpe", &R::hpe, t::boolean},
          {"managed_tgw", &R::managed_tgw, t::boolean},
          {"filter_cidrs", &R::filter_cidrs, t::CIDRList},
          {"spoke_gw_size", &R::spoke_gw_size, t::_str},
          {"role_name", &R::role_name, t::_str},
          {"add_account", &R::add_account, t::boolean},
          {"onboard_account", &R::onboard_account, t::boolean},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::boolean},
          {"max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean)},
          {"spoke_ha", &R::spoke_ha, t::optional(t::boolean)},
      }};
  return schema;
}

}  // namespace tarnwick::core
