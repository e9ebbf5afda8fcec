// The checks of the document record that look across sections.
#include <string>
#include <vector>

#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::core {

namespace {

using DC = DiscoveryConfiguration;

// An account id as the lists of nonconforming VPCs show it: each of the account's VPCs repeats
// it, so a very long one is cut (ids are digits) rather than copied once per VPC.
std::string account_name(const AccountInfo& account) {
  constexpr std::size_t kMaxShown = 64;
  if (account.account_id.size() <= kMaxShown) return account.account_id;
  return account.account_id.substr(0, kMaxShown) + "...";
}

// How the document names a nonconforming VPC.
std::string triple(const AccountInfo& account, const Region& region, const VPCConfig& vpc) {
  return "account: " + account_name(account) + ", region: " + region.region +
         ", vpc: " + vpc.vpc_id;
}

std::string slashed(const AccountInfo& account, const Region& region, const VPCConfig& vpc) {
  return account_name(account) + "/" + region.region + "/" + vpc.vpc_id;
}

std::string join(const std::vector<std::string>& items, std::string_view separator) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += separator;
    out += items[i];
  }
  return out;
}

std::string python_bool(const std::optional<bool>& v) {
  if (!v) return "None";
  return *v ? "True" : "False";
}

// The gateway-name fields of a VPC by their keys (GW_NAME_KEYS).
const std::optional<std::string>& gw_name(const VPCConfig& vpc, std::string_view key) {
  return key == "spoke_gw_name" ? vpc.spoke_gw_name : vpc.transit_gw_name;
}

// Calls fn(account, region, vpc) for every VPC in document order.
template <class F>
void for_each_vpc(const std::vector<AccountInfo>& accounts, F&& fn) {
  for (const AccountInfo& account : accounts) {
    for (const Region& region : account.regions) {
      for (const VPCConfig& vpc : region.vpcs) fn(account, region, vpc);
    }
  }
}

}  // namespace

std::optional<CorvaneConfig> DC::check_field_for_none(std::optional<CorvaneConfig> val,
                                                      const FieldInfo& field,
                                                      const BuildContext& context) {
  if (context.discovery_only) return val;
  if (val) return val;
  throw ValueError("missing " + std::string(field.name));
}

std::optional<TGWConfig> DC::check_tgw_for_none(std::optional<TGWConfig> val) {
  if (!val) throw ValueError("missing tgw_account, tgw_role and tgw_by_region attributes");
  return val;
}

CleanupConfig DC::check_cleanup(CleanupConfig val, const Values<DC>& values,
                                const BuildContext& context) {
  if (context.discovery_only) return val;
  const ScriptConfig* config = values.get(&DC::config);
  if (config == nullptr) return val;
  if (!config->configure_gw_name) {
    for (const std::string& resource : val.resources) {
      if (resource == "PEERING") {
        throw ValueError(
            "Delete 'PEERING' is only supported when config.configure_gw_name is set to True.");
      }
    }
  }
  return val;
}

bool DC::isExpectedVpcPrefix(const IPv4Network& ip, const CIDRList& prefixes) {
  for (const IPv4Network& n : prefixes) {
    if (ip.subnet_of(n)) return true;
  }
  return false;
}

bool DC::isExpectedVpcPrefix(std::string_view ip, const CIDRList& prefixes) {
  IPv4Network::ParseResult parsed = IPv4Network::parse(ip);
  if (!parsed.network) {
    throw std::invalid_argument(
        parsed.host_bits_set ? std::string(ip) + " has host bits set"
                             : "'" + std::string(ip) + "' does not appear to be an IPv4 network");
  }
  return isExpectedVpcPrefix(*parsed.network, prefixes);
}

ScriptConfig DC::check_config(ScriptConfig val, const Values<DC>& values,
                               const BuildContext& context) {
  if (context.discovery_only) return val;
  static const std::vector<AccountInfo> kNoAccounts;
  const std::vector<AccountInfo>* given = values.get(&DC::account_info);
  const std::vector<AccountInfo>& account_info = given != nullptr ? *given : kNoAccounts;
  const ScriptConfig& config = val;

  // Egress through a transit gateway needs gateway naming.
  if (config.configure_transit_gw_egress == true && config.configure_gw_name == false) {
    throw ValueError(
        "config.configure_transit_gw_egress is only available when config.configure_gw_name is "
        "True.");
  }

  // Egress names need egress.
  if (config.configure_transit_gw_egress == false) {
    std::vector<std::string> found;
    for_each_vpc(account_info, [&](const auto& account, const auto& region, const auto& vpc) {
      if (vpc.transit_gw_egress_name) found.push_back(triple(account, region, vpc));
    });
    if (!found.empty()) {
      throw ValueError(
          "'config.configure_transit_gw_egress' must be set to True to use "
          "vpc.transit_gw_egress_name. Nonconforming VPCs: " +
          join(found, "\n"));
    }
  }

  // Gateway names where naming is on.
  if (config.configure_gw_name) {
    std::vector<std::string> found;
    for_each_vpc(account_info, [&](const auto& account, const auto& region, const auto& vpc) {
      for (std::string_view key : GW_NAME_KEYS) {
        if (!gw_name(vpc, key)) {
          found.push_back(triple(account, region, vpc));
          break;
        }
      }
    });
    if (!found.empty()) {
      throw ValueError("'config.configure_gw_name' is " + python_bool(config.configure_gw_name) +
                       ", both 'spoke_gw_name' and 'transit_gw_name' must be set in all "
                       "VPCs.\nList of nonconforming VPCs:\n" +
                       join(found, "\n"));
    }
  }

  // Gateway addressing, per gateway mode.
  std::vector<std::string> errors, crvn_cidr_errors, crvn_cidr_prefixlen_errors, gw_zones_errors,
      eips_hs_errors, eips_errors;
  const bool several_cidrs = config.configure_spoke_gw_hs == true;
  for_each_vpc(account_info, [&](const auto& account, const auto& region, const auto& vpc) {
    const std::optional<bool> spoke_ha = vpc.spoke_ha.has_value() ? vpc.spoke_ha : account.spoke_ha;
    if (several_cidrs) {
      if (vpc.crvn_cidr) {
        if (!isExpectedVpcPrefix(*vpc.crvn_cidr, config.allow_vpc_cidrs)) {
          crvn_cidr_errors.push_back(triple(account, region, vpc));
        }
        if (vpc.crvn_cidr->prefix_length() > 24) {
          crvn_cidr_prefixlen_errors.push_back(triple(account, region, vpc));
        }
      }
      if (!vpc.crvn_cidrs || vpc.crvn_cidrs->empty()) {
        errors.push_back(triple(account, region, vpc));
      } else if (vpc.crvn_cidrs->size() > vpc.gw_zones.size()) {
        gw_zones_errors.push_back(triple(account, region, vpc));
      } else if (vpc.eips && vpc.eips->size() != vpc.crvn_cidrs->size()) {
        eips_hs_errors.push_back(triple(account, region, vpc));
      }
    } else {
      if (spoke_ha == true) {
        if (vpc.eips && vpc.eips->size() != 2) {
          eips_errors.push_back("HA mode, 2 eips is needed in " + slashed(account, region, vpc));
        }
      } else if (vpc.eips && vpc.eips->size() != 1) {
        eips_errors.push_back("Non HA mode, only 1 eip is needed in " +
                              slashed(account, region, vpc));
      }
      if (config.add_vpc_cidr == true && vpc.crvn_cidr &&
          !isExpectedVpcPrefix(*vpc.crvn_cidr, config.allow_vpc_cidrs)) {
        crvn_cidr_errors.push_back(triple(account, region, vpc));
      }
      if (!vpc.crvn_cidr || vpc.crvn_cidrs) errors.push_back(triple(account, region, vpc));
    }
  });

  if (!crvn_cidr_prefixlen_errors.empty()) {
    throw ValueError("crvn_cidr - number of bits in network mask needs to be 24 or smaller: " +
                     join(crvn_cidr_prefixlen_errors, "; "));
  }
  if (!crvn_cidr_errors.empty()) {
    throw ValueError("crvn_cidr is NOT in allow_vpc_cidrs list: " + join(crvn_cidr_errors, "; "));
  }
  if (!eips_errors.empty()) throw ValueError(join(eips_errors, "; "));
  if (!eips_hs_errors.empty()) {
    throw ValueError("The number of eips should match the number of crvn_cidrs: " +
                     join(eips_hs_errors, "; "));
  }
  if (!errors.empty()) {
    const std::string hs = python_bool(config.configure_spoke_gw_hs);
    if (several_cidrs) {
      throw ValueError(
          "'config.configure_spoke_gw_hs' is " + hs +
          ", crvn_cidrs cannot be empty. List of nonconforming VPCs: " + join(errors, "; "));
    }
    throw ValueError("'config.configure_spoke_gw_hs' is " + hs +
                     ", crvn_cidr must be used instead of crvn_cidrs. List of nonconforming "
                     "VPCs: " +
                     join(errors, "; "));
  }
  if (!gw_zones_errors.empty()) {
    throw ValueError(
        "length of gw_zones must be longer than or equal to the length of crvn_cidrs. List of "
        "nonconforming VPCs: " +
        join(gw_zones_errors, "; "));
  }

  // Spoke advertisement: only when switched on, and never an empty list.
  std::vector<std::string> empty_advertisements;
  for_each_vpc(account_info, [&](const auto& account, const auto& region, const auto& vpc) {
    if (!vpc.spoke_advertisement) return;
    if (!config.configure_spoke_advertisement) {
      throw ValueError(
          "configure_spoke_advertisement in config section must be set to True to use "
          "spoke_advertisement. ");
    }
    if (vpc.spoke_advertisement->empty()) {
      empty_advertisements.push_back(triple(account, region, vpc));
    }
  });
  if (!empty_advertisements.empty()) {
    throw ValueError(
        "spoke_advertisement cannot be empty. Add a CIDR or remove it. List of nonconforming "
        "VPCs: " +
        join(empty_advertisements, "; "));
  }
  return val;
}

}  // namespace tarnwick::core
