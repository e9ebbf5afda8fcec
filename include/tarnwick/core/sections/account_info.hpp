// The migration scope: spoke accounts, their regions, and the VPCs to migrate in each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/sections/vocabulary.hpp"

namespace tarnwick::core {

// One spoke VPC.
struct VPCConfig : BaseModel {
  // Members are ordered for size (the booleans packed at the end: a large document holds tens of
  // thousands of VPCs); the table below gives the document's order.
  std::string vpc_id;
  std::optional<CIDRList> crvn_cidrs;
  std::vector<std::string> gw_zones;
  std::optional<IPAddressList> eips;
  Tags spoke_gw_tags;
  std::optional<std::string> domain;
  std::optional<std::string> encrypt_key;
  std::optional<CIDRList> spoke_advertisement;
  std::optional<CIDRList> spoke_routes;
  std::optional<std::string> spoke_gw_name;
  std::optional<std::string> transit_gw_name;
  std::optional<std::string> transit_gw_egress_name;
  std::optional<std::string> spoke_gw_size;
  std::vector<std::string> retain_peerings;
  CIDRList retain_peering_cidrs = _default_network();
  std::optional<IPv4Network> crvn_cidr;
  std::optional<bool> encrypt;
  std::optional<bool> inspection;
  // Per-VPC values of account settings (and spoke_gw_size above), exactly as written (null: not
  // stated for this VPC).
  std::optional<bool> enable_spoke_egress;
  std::optional<bool> hpe;
  std::optional<bool> max_hpe_performance;
  std::optional<bool> spoke_ha;
  std::optional<bool> az_affinity = false;
  bool customized_single_ip_snat = false;

  // An encryption key needs encryption switched on (not enforced in discovery-only mode).
  static std::optional<std::string> check_encrypt_key(std::optional<std::string> val,
                                                      const Values<VPCConfig>& values,
                                                      const BuildContext& context);

  static constexpr auto fields();
  friend bool operator==(const VPCConfig&, const VPCConfig&) = default;
};

// One region of an account and the VPCs to migrate there.
struct Region : BaseModel {
  std::string region;
  std::vector<VPCConfig> vpcs;

  static constexpr auto fields();
  friend bool operator==(const Region&, const Region&) = default;
};

// One spoke account.
struct AccountInfo : BaseModel {
  std::string account_id;
  std::optional<std::string> account_name = "";
  std::vector<Region> regions;
  bool hpe = true;
  bool managed_tgw = false;
  CIDRList filter_cidrs;
  std::string spoke_gw_size = "t3.micro";
  std::string role_name = "corvane-role-app";
  bool add_account = false;
  bool onboard_account = false;
  bool enable_spoke_egress = false;
  std::optional<bool> max_hpe_performance;
  std::optional<bool> spoke_ha = true;

  static constexpr auto fields();
  friend bool operator==(const AccountInfo&, const AccountInfo&) = default;
};

constexpr auto VPCConfig::fields() {
  using R = VPCConfig;
  namespace t = types;
  return table<R>(
      "VPCConfig", "One spoke VPC.",
      field("vpc_id", &R::vpc_id, t::_str, required, doc("Id of the VPC to migrate.")),
      field("crvn_cidr", &R::crvn_cidr, t::optional(t::ipv4_network),
            doc("CIDR added to the VPC for the Corvane gateway subnets.")),
      field("crvn_cidrs", &R::crvn_cidrs, t::optional(t::CIDRList),
            doc("Several CIDRs for the Corvane gateway subnets, instead of crvn_cidr.")),
      field("gw_zones", &R::gw_zones, t::list(t::_str),
            doc("Availability zones that get a gateway (e.g. a, b).")),
      field("eips", &R::eips, t::optional(t::IPAddressList),
            doc("Elastic IPs to give the spoke gateways.")),
      field("spoke_gw_tags", &R::spoke_gw_tags, t::Tags,
            doc("Tags of the spoke gateway: a list of name-to-value mappings.")),
      field("domain", &R::domain, t::optional(t::_str),
            doc("Network domain the spoke gateway joins.")),
      field("encrypt", &R::encrypt, t::optional(t::boolean),
            doc("Encrypt the spoke gateway's volumes.")),
      field("encrypt_key", &R::encrypt_key, t::optional(t::_str),
            check(&R::check_encrypt_key, "check_encrypt_key"),
            doc("KMS key for the volume encryption; needs encrypt: true for a migration.")),
      field("inspection", &R::inspection, t::optional(t::boolean),
            doc("Send the VPC's traffic through firewall inspection.")),
      field("spoke_advertisement", &R::spoke_advertisement, t::optional(t::CIDRList),
            doc("CIDRs the spoke gateway advertises instead of the VPC's own.")),
      field("spoke_routes", &R::spoke_routes, t::optional(t::CIDRList),
            doc("CIDRs that the VPC's route tables send to the spoke gateway.")),
      field("spoke_gw_name", &R::spoke_gw_name, t::optional(t::GWName),
            doc("Name of the spoke gateway (at most 50 characters).")),
      field("transit_gw_name", &R::transit_gw_name, t::optional(t::GWName),
            doc("Name of the transit gateway the spoke attaches to (at most 50 characters).")),
      field("transit_gw_egress_name", &R::transit_gw_egress_name, t::optional(t::GWName),
            doc("Name of the egress transit gateway the spoke attaches to (at most 50 "
                "characters).")),
      field("enable_spoke_egress", &R::enable_spoke_egress, t::optional(t::boolean),
            doc("This VPC's enable_spoke_egress (null: the account's).")),
      field("spoke_gw_size", &R::spoke_gw_size, t::optional(t::_str),
            doc("This VPC's spoke gateway instance size (null: the account's).")),
      field("hpe", &R::hpe, t::optional(t::boolean),
            doc("This VPC's high-performance encryption switch (null: the account's).")),
      field("max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean),
            doc("This VPC's max_hpe_performance (null: the account's).")),
      field("spoke_ha", &R::spoke_ha, t::optional(t::boolean),
            doc("This VPC's spoke gateway high availability (null: the account's).")),
      field("retain_peerings", &R::retain_peerings, t::list(t::string),
            doc("Ids of the VPC peerings to keep.")),
      field("retain_peering_cidrs", &R::retain_peering_cidrs, t::CIDRList,
            doc("Peering routes to these CIDRs are kept.")),
      field("customized_single_ip_snat", &R::customized_single_ip_snat, t::boolean,
            doc("Give the spoke gateway a customized single-IP source NAT.")),
      field("az_affinity", &R::az_affinity, t::optional(t::boolean),
            doc("Keep traffic within its availability zone.")));
}

constexpr auto Region::fields() {
  using R = Region;
  namespace t = types;
  return table<R>("Region", "One region of an account and its VPCs.",
                  field("region", &R::region, t::RegionName, required, doc("AWS region name.")),
                  field("vpcs", &R::vpcs, t::list(t::record<VPCConfig>()), required, streamed,
                        doc("The VPCs to migrate in this region.")));
}

constexpr auto AccountInfo::fields() {
  using R = AccountInfo;
  namespace t = types;
  return table<R>(
      "AccountInfo", "One spoke account.",
      field("account_id", &R::account_id, t::digit_string, required,
            doc("AWS account number (digits only).")),
      field("account_name", &R::account_name, t::optional(t::_str),
            doc("Name of the account, used in generated names.")),
      field("regions", &R::regions, t::list(t::record<Region>()), required,
            doc("The account's regions and their VPCs.")),
      field("hpe", &R::hpe, t::boolean,
            doc("Use high-performance encryption on the spoke gateways.")),
      field("managed_tgw", &R::managed_tgw, t::boolean,
            doc("The account uses a managed transit gateway.")),
      field("filter_cidrs", &R::filter_cidrs, t::CIDRList,
            doc("Routes to these CIDRs are left out of the migration.")),
      field("spoke_gw_size", &R::spoke_gw_size, t::_str,
            doc("Instance size of the spoke gateways.")),
      field("role_name", &R::role_name, t::_str, doc("IAM role assumed in the account.")),
      field("add_account", &R::add_account, t::boolean, doc("Add the account to the controller.")),
      field("onboard_account", &R::onboard_account, t::boolean,
            doc("Onboard the account onto the controller.")),
      field("enable_spoke_egress", &R::enable_spoke_egress, t::boolean,
            doc("Let the spoke gateways carry internet egress.")),
      field("max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean),
            doc("Use the most tunnels for high-performance encryption.")),
      field("spoke_ha", &R::spoke_ha, t::optional(t::boolean),
            doc("Deploy the spoke gateways as a high-availability pair.")));
}

}  // namespace tarnwick::core
