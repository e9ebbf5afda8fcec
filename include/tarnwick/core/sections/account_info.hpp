// The migration scope: spoke accounts, their regions, and the VPCs to migrate in each.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "tarnwick/core/record_frame.hpp"

namespace tarnwick::core {

// One spoke VPC.
struct VPCConfig : BaseModel {
  std::string vpc_id;
  std::optional<IPv4Network> crvn_cidr;
  std::optional<CIDRList> crvn_cidrs;
  std::vector<std::string> gw_zones;
  std::optional<IPAddressList> eips;
  Tags spoke_gw_tags;
  std::optional<std::string> domain;
  std::optional<bool> encrypt;
  std::optional<std::string> encrypt_key;
  std::optional<bool> inspection;
  std::optional<CIDRList> spoke_advertisement;
  std::optional<CIDRList> spoke_routes;
  std::optional<std::string> spoke_gw_name;
  std::optional<std::string> transit_gw_name;
  std::optional<std::string> transit_gw_egress_name;
  // Per-VPC values of account settings, exactly as written (null: not stated for this VPC).
  std::optional<bool> enable_spoke_egress;
  std::optional<std::string> spoke_gw_size;
  std::optional<bool> hpe;
  std::optional<bool> max_hpe_performance;
  std::optional<bool> spoke_ha;
  std::vector<std::string> retain_peerings;
  CIDRList retain_peering_cidrs = _default_network();
  bool customized_single_ip_snat = false;
  std::optional<bool> az_affinity = false;

  // An encryption key needs encryption switched on (not enforced in discovery-only mode).
  static std::optional<std::string> check_encrypt_key(std::optional<std::string> val,
                                                      const Values<VPCConfig>& values);

  static const Schema<VPCConfig>& schema();
  friend bool operator==(const VPCConfig&, const VPCConfig&) = default;
};

// One region of an account and the VPCs to migrate there.
struct Region : BaseModel {
  std::string region;
  std::vector<VPCConfig> vpcs;

  static const Schema<Region>& schema();
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

  static const Schema<AccountInfo>& schema();
  friend bool operator==(const AccountInfo&, const AccountInfo&) = default;
};

}  // namespace tarnwick::core
