#include "tarnwick/core/sections/scope.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<AlertConfig>& AlertConfig::schema() {
  using R = AlertConfig;
  static const Schema<R> schema{
      "AlertConfig",
      {
          {"expect_dest_cidrs", &R::expect_dest_cidrs, t::CIDRList,
           doc("Expected destination CIDRs; others raise an alert.")},
          {"expect_vpc_prefixes", &R::expect_vpc_prefixes, t::CIDRList,
           doc("Expected VPC prefixes; others raise an alert.")},
          {"check_gateway_existence", &R::check_gateway_existence, t::optional(t::boolean),
           doc("Raise an alert when a gateway named in the document already exists.")},
      }};
  return schema;
}

const Schema<TGWConfig>& TGWConfig::schema() {
  using R = TGWConfig;
  static const Schema<R> schema{
      "TGWConfig",
      {
          {"tgw_account", &R::tgw_account, t::_str, required,
           doc("AWS account that owns the transit gateways.")},
          {"tgw_role", &R::tgw_role, t::_str, required, doc("IAM role assumed in that account.")},
          {"tgw_by_region", &R::tgw_by_region, t::mapping(t::RegionName, t::_str),
           doc("Transit gateway id by region name.")},
      }};
  return schema;
}

const Schema<SwitchTrafficConfig>& SwitchTrafficConfig::schema() {
  using R = SwitchTrafficConfig;
  static const Schema<R> schema{
      "SwitchTrafficConfig",
      {
          {"delete_tgw_route_delay", &R::delete_tgw_route_delay, t::_str,
           doc("Seconds to wait before transit gateway routes are deleted.")},
      }};
  return schema;
}

const Schema<CleanupConfig>& CleanupConfig::schema() {
  using R = CleanupConfig;
  static const Schema<R> schema{
      "CleanupConfig",
      {
          {"vpc_cidrs", &R::vpc_cidrs, t::CIDRList, doc("CIDRs to remove from the VPCs.")},
          {"resources", &R::resources, t::list(t::CleanupResources),
           doc("Kinds of resources to delete.")},
          {"report_only", &R::report_only, t::boolean,
           doc("Only report what cleanup would delete.")},
      }};
  return schema;
}

}  // namespace tarnwick::core
