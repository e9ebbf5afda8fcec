// The sections that complete a migration's scope: alerts, transit gateways, switch-traffic
// timing and cleanup.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/sections/vocabulary.hpp"

namespace tarnwick::core {

struct AlertConfig : BaseModel {
  CIDRList expect_dest_cidrs = _default_network();
  CIDRList expect_vpc_prefixes = _default_network();
  std::optional<bool> check_gateway_existence = true;

  static constexpr auto fields();
  friend bool operator==(const AlertConfig&, const AlertConfig&) = default;
};

// The transit gateways, all in the one account this record names.
struct TGWConfig : BaseModel {
  std::string tgw_account;
  std::string tgw_role;
  OrderedMap<std::string, std::string> tgw_by_region;  // region name -> transit gateway id

  static constexpr auto fields();
  friend bool operator==(const TGWConfig&, const TGWConfig&) = default;
};

struct SwitchTrafficConfig : BaseModel {
  std::string delete_tgw_route_delay = "5";  // seconds, kept as text

  static constexpr auto fields();
  friend bool operator==(const SwitchTrafficConfig&, const SwitchTrafficConfig&) = default;
};

struct CleanupConfig : BaseModel {
  CIDRList vpc_cidrs;
  std::vector<std::string> resources;  // each one of CLEANUP_RESOURCES
  bool report_only = false;

  static constexpr auto fields();
  friend bool operator==(const CleanupConfig&, const CleanupConfig&) = default;
};

constexpr auto AlertConfig::fields() {
  using R = AlertConfig;
  namespace t = types;
  return table<R>(
      "AlertConfig", "The `alert` section.",
      field("expect_dest_cidrs", &R::expect_dest_cidrs, t::CIDRList,
            doc("Expected destination CIDRs; others raise an alert.")),
      field("expect_vpc_prefixes", &R::expect_vpc_prefixes, t::CIDRList,
            doc("Expected VPC prefixes; others raise an alert.")),
      field("check_gateway_existence", &R::check_gateway_existence, t::optional(t::boolean),
            doc("Raise an alert when a gateway named in the document already exists.")));
}

constexpr auto TGWConfig::fields() {
  using R = TGWConfig;
  namespace t = types;
  return table<R>(
      "TGWConfig", "The `tgw` section: the transit gateways of one account.",
      field("tgw_account", &R::tgw_account, t::_str, required,
            doc("AWS account that owns the transit gateways.")),
      field("tgw_role", &R::tgw_role, t::_str, required, doc("IAM role assumed in that account.")),
      field("tgw_by_region", &R::tgw_by_region, t::mapping(t::RegionName, t::_str),
            doc("Transit gateway id by region name.")));
}

constexpr auto SwitchTrafficConfig::fields() {
  using R = SwitchTrafficConfig;
  namespace t = types;
  return table<R>("SwitchTrafficConfig", "The `switch_traffic` section.",
                  field("delete_tgw_route_delay", &R::delete_tgw_route_delay, t::_str,
                        doc("Seconds to wait before transit gateway routes are deleted.")));
}

constexpr auto CleanupConfig::fields() {
  using R = CleanupConfig;
  namespace t = types;
  return table<R>(
      "CleanupConfig", "The `cleanup` section.",
      field("vpc_cidrs", &R::vpc_cidrs, t::CIDRList, doc("CIDRs to remove from the VPCs.")),
      field("resources", &R::resources, t::list(t::CleanupResources),
            doc("Kinds of resources to delete.")),
      field("report_only", &R::report_only, t::boolean,
            doc("Only report what cleanup would delete.")));
}

}  // namespace tarnwick::core
