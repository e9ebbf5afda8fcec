#include "tarnwick/core/sections/account_info.hpp"

namespace tarnwick::core {

namespace t = types;

const Schema<VPCConfig>& VPCConfig::schema() {
  using R = VPCConfig;
  static const Schema<R> schema{
      "VPCConfig",
      {
          {"vpc_id", &R::vpc_id, t::_str, required, doc("Id of the VPC to migrate.")},
          {"crvn_cidr", &R::crvn_cidr, t::optional(t::ipv4_network),
           doc("CIDR added to the VPC for the Corvane gateway subnets.")},
          {"crvn_cidrs", &R::crvn_cidrs, t::optional(t::CIDRList),
           doc("Several CIDRs for the Corvane gateway subnets, instead of crvn_cidr.")},
          {"gw_zones", &R::gw_zones, t::list(t::_str),
           doc("Availability zones that get a gateway (e.g. a, b).")},
          {"eips", &R::eips, t::optional(t::IPAddressList),
           doc("Elastic IPs to give the spoke gateways.")},
          {"spoke_gw_tags", &R::spoke_gw_tags, t::Tags,
           doc("Tags of the spoke gateway: a list of name-to-value mappings.")},
          {"domain", &R::domain, t::optional(t::_str),
           doc("Network domain the spoke gateway joins.")},
          {"encrypt", &R::encrypt, t::optional(t::boolean),
           doc("Encrypt the spoke gateway's volumes.")},
          {"encrypt_key", &R::encrypt_key, t::optional(t::_str), check(&R::check_encrypt_key),
           doc("KMS key for the volume encryption; needs encrypt: true for a migration.")},
          {"inspection", &R::inspection, t::optional(t::boolean),
           doc("Send the VPC's traffic through firewall inspection.")},
          {"spoke_advertisement", &R::spoke_advertisement, t::optional(t::CIDRList),
           doc("CIDRs the spoke gateway advertises instead of the VPC's own.")},
          {"spoke_routes", &R::spoke_routes, t::optional(t::CIDRList),
           doc("CIDRs that the VPC's route tables send to the spoke gateway.")},
          {"spoke_gw_name", &R::spoke_gw_name, t::optional(t::GWName),
           doc("Name of the spoke gateway (at most 50 characters).")},
          {"transit_gw_name", &R::transit_gw_name, t::optional(t::GWName),
           doc("Name of the transit gateway the spoke attaches to (at most 50 characters).")},
          {"transit_gw_egress_name", &R::transit_gw_egress_name, t::optional(t::GWName),
           doc("Name of the egress transit gateway the spoke attaches to (at most 50 "
               "characters).")},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::optional(t::boolean),
           doc("This VPC's enable_spoke_egress (null: the account's).")},
          {"spoke_gw_size", &R::spoke_gw_size, t::optional(t::_str),
           doc("This VPC's spoke gateway instance size (null: the account's).")},
          {"hpe", &R::hpe, t::optional(t::boolean),
           doc("This VPC's high-performance encryption switch (null: the account's).")},
          {"max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean),
           doc("This VPC's max_hpe_performance (null: the account's).")},
          {"spoke_ha", &R::spoke_ha, t::optional(t::boolean),
           doc("This VPC's spoke gateway high availability (null: the account's).")},
          {"retain_peerings", &R::retain_peerings, t::list(t::string),
           doc("Ids of the VPC peerings to keep.")},
          {"retain_peering_cidrs", &R::retain_peering_cidrs, t::CIDRList,
           doc("Peering routes to these CIDRs are kept.")},
          {"customized_single_ip_snat", &R::customized_single_ip_snat, t::boolean,
           doc("Give the spoke gateway a customized single-IP source NAT.")},
          {"az_affinity", &R::az_affinity, t::optional(t::boolean),
           doc("Keep traffic within its availability zone.")},
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
  static const Schema<R> schema{
      "Region",
      {
          {"region", &R::region, t::RegionName, required, doc("AWS region name.")},
          {"vpcs", &R::vpcs, t::list(t::record<VPCConfig>()), required,
           doc("The VPCs to migrate in this region.")},
      }};
  return schema;
}

const Schema<AccountInfo>& AccountInfo::schema() {
  using R = AccountInfo;
  static const Schema<R> schema{
      "AccountInfo",
      {
          {"account_id", &R::account_id, t::digit_string, required,
           doc("AWS account number (digits only).")},
          {"account_name", &R::account_name, t::optional(t::_str),
           doc("Name of the account, used in generated names.")},
          {"regions", &R::regions, t::list(t::record<Region>()), required,
           doc("The account's regions and their VPCs.")},
          {"hpe", &R::hpe, t::boolean,
           doc("Use high-performance encryption on the spoke gateways.")},
          {"managed_tgw", &R::managed_tgw, t::boolean,
           doc("The account uses a managed transit gateway.")},
          {"filter_cidrs", &R::filter_cidrs, t::CIDRList,
           doc("Routes to these CIDRs are left out of the migration.")},
          {"spoke_gw_size", &R::spoke_gw_size, t::_str,
           doc("Instance size of the spoke gateways.")},
          {"role_name", &R::role_name, t::_str, doc("IAM role assumed in the account.")},
          {"add_account", &R::add_account, t::boolean, doc("Add the account to the controller.")},
          {"onboard_account", &R::onboard_account, t::boolean,
           doc("Onboard the account onto the controller.")},
          {"enable_spoke_egress", &R::enable_spoke_egress, t::boolean,
           doc("Let the spoke gateways carry internet egress.")},
          {"max_hpe_performance", &R::max_hpe_performance, t::optional(t::boolean),
           doc("Use the most tunnels for high-performance encryption.")},
          {"spoke_ha", &R::spoke_ha, t::optional(t::boolean),
           doc("Deploy the spoke gateways as a high-availability pair.")},
      }};
  return schema;
}

}  // namespace tarnwick::core
