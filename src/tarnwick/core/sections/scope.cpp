#include "tarnwick/core/sections/scope.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<AlertConfig>& AlertConfig::schema() {
  using R = AlertConfig;
  static const Schema<R> schema{
      "AlertConfig",
      {
          {"expect_dest_cidrs", &R::expect_dest_cidrs, t::CIDRList},
          {"expect_vpc_prefixes", &R::expect_vpc_prefixes, t::CIDRList},
          {"check_gateway_existence", &R::check_gateway_existence, t::optional(t::boolean)},
      }};
  return schema;
}

const Schema<TGWConfig>& TGWConfig::schema() {
  using R = TGWConfig;
  static const Schema<R> schema{
      "TGWConfig",
      {
          {"tgw_account", &R::tgw_account, t::_str, required},
          {"tgw_role", &R::tgw_role, t::_str, required},
          {"tgw_by_region", &R::tgw_by_region, t::mapping(t::RegionName, t::_str)},
      }};
  return schema;
}

const Schema<SwitchTrafficConfig>& SwitchTrafficConfig::schema() {
  using R = SwitchTrafficConfig;
  static const Schema<R> schema{"SwitchTrafficConfig",
                                {
                                    {"delete_tgw_route_delay", &R::delete_tgw_route_delay, t::_str},
                                }};
  return schema;
}

const Schema<CleanupConfig>& CleanupConfig::schema() {
  using R = CleanupConfig;
  static const Schema<R> schema{"CleanupConfig",
                                {
                                    {"vpc_cidrs", &R::vpc_cidrs, t::CIDRList},
                                    {"resources", &R::resources, t::list(t::CleanupResources)},
                                    {"report_only", &R::report_only, t::boolean},
                                }};
  return schema;
}

}  // namespace tarnwick::core
