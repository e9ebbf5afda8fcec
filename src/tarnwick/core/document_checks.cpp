// The checks of the document record that look across sections.
#include <string>
#include <vector>

#include "tarnwick/core/config_vpc_migration.hpp"

namespace tarnwick::core {

namespace {

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

// The triples of the VPCs for which pred(vpc) holds, in document order.
template <class Pred>
std::vector<std::string> triples_where(const std::vector<AccountInfo>& accounts, Pred&& pred) {
  std::vector<std::string> found;
  for_each_vpc(accounts, [&](const auto& account, const auto& region, const auto& vpc) {
    if (pred(vpc)) found.push_back(triple(account, region, vpc));
  });
  return found;
}

// The rules of check_config: each returns, or throws its one message listing every VPC that
// fails it, and the first rule that fails decides. In the several-CIDR mode a VPC counts for
// only the first of the crvn_cidrs, gw_zones and eips rules that applies to it, so those rules'
// conditions exclude what that chain gives to another.
using Accounts = std::vector<AccountInfo>;

// Null reads as the single-CIDR gateway mode.
bool several_cidrs(const ScriptConfig& config) {
  return config.configure_spoke_gw_hs == true;
}

bool has_crvn_cidrs(const VPCConfig& vpc) {
  return vpc.crvn_cidrs && !vpc.crvn_cidrs->empty();
}

// Egress through a transit gateway needs gateway naming; null egress never triggers it.
void check_egress_needs_gw_name(const ScriptConfig& config) {
  if (config.configure_transit_gw_egress == true && config.configure_gw_name == false) {
    throw ValueError(
        "config.configure_transit_gw_egress is only available when config.configure_gw_name is "
        "True.");
  }
}

// Egress names need egress switched off explicitly to be refused: null lets them through.
void check_egress_names_need_egress(const ScriptConfig& config, const Accounts& accounts) {
  if (config.configure_transit_gw_egress != false) return;
  const std::vector<std::string> found = triples_where(
      accounts, [](const VPCConfig& vpc) { return vpc.transit_gw_egress_name.has_value(); });
  if (found.empty()) return;
  throw ValueError(
      "'config.configure_transit_gw_egress' must be set to True to use "
      "vpc.transit_gw_egress_name. Nonconforming VPCs: " +
      join(found, "\n"));
}

// Where naming is on, every VPC names both its gateways (an empty name counts as given).
void check_gw_names_given(const ScriptConfig& config, const Accounts& accounts) {
  if (!config.configure_gw_name) return;
  const std::vector<std::string> found = triples_where(accounts, [](const VPCConfig& vpc) {
    for (std::string_view key : GW_NAME_KEYS) {
      if (!gw_name(vpc, key)) return true;
    }
    return false;
  });
  if (found.empty()) return;
  throw ValueError("'config.configure_gw_name' is " + python_bool(config.configure_gw_name) +
                   ", both 'spoke_gw_name' and 'transit_gw_name' must be set in all "
                   "VPCs.\nList of nonconforming VPCs:\n" +
                   join(found, "\n"));
}

// Several-CIDR mode only: a crvn_cidr no longer than /24.
void check_crvn_cidr_prefix_length(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  const std::vector<std::string> found = triples_where(accounts, [](const VPCConfig& vpc) {
    return vpc.crvn_cidr && vpc.crvn_cidr->prefix_length() > 24;
  });
  if (found.empty()) return;
  throw ValueError("crvn_cidr - number of bits in network mask needs to be 24 or smaller: " +
                   join(found, "; "));
}

// A crvn_cidr inside allow_vpc_cidrs: always in several-CIDR mode, otherwise only when the
// script adds the VPC CIDR.
void check_crvn_cidr_allowed(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config) && !config.add_vpc_cidr) return;
  const std::vector<std::string> found = triples_where(accounts, [&](const VPCConfig& vpc) {
    return vpc.crvn_cidr &&
           !DiscoveryConfiguration::isExpectedVpcPrefix(*vpc.crvn_cidr, config.allow_vpc_cidrs);
  });
  if (found.empty()) return;
  throw ValueError("crvn_cidr is NOT in allow_vpc_cidrs list: " + join(found, "; "));
}

// Single-CIDR mode only: two eips for an HA gateway, one otherwise. The VPC's own HA flag
// overrides its account's; no eips at all always passes.
void check_eips_fit_ha_mode(const ScriptConfig& config, const Accounts& accounts) {
  if (several_cidrs(config)) return;
  std::vector<std::string> found;
  for_each_vpc(accounts, [&](const auto& account, const auto& region, const auto& vpc) {
    if (!vpc.eips) return;
    const std::optional<bool> spoke_ha = vpc.spoke_ha.has_value() ? vpc.spoke_ha : account.spoke_ha;
    if (spoke_ha == true) {
      if (vpc.eips->size() != 2) {
        found.push_back("HA mode, 2 eips is needed in " + slashed(account, region, vpc));
      }
    } else if (vpc.eips->size() != 1) {
      found.push_back("Non HA mode, only 1 eip is needed in " + slashed(account, region, vpc));
    }
  });
  if (!found.empty()) throw ValueError(join(found, "; "));
}

// Several-CIDR mode: one eip per crvn_cidrs entry. Judged only for VPCs whose crvn_cidrs are
// given and covered by gw_zones: the rules below report the others.
void check_eips_match_crvn_cidrs(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  const std::vector<std::string> found = triples_where(accounts, [](const VPCConfig& vpc) {
    return has_crvn_cidrs(vpc) && vpc.crvn_cidrs->size() <= vpc.gw_zones.size() && vpc.eips &&
           vpc.eips->size() != vpc.crvn_cidrs->size();
  });
  if (found.empty()) return;
  throw ValueError("The number of eips should match the number of crvn_cidrs: " +
                   join(found, "; "));
}

// The gateway mode decides the addressing key: crvn_cidrs, not empty, in several-CIDR mode;
// crvn_cidr and no crvn_cidrs otherwise.
void check_crvn_cidr_fits_gw_mode(const ScriptConfig& config, const Accounts& accounts) {
  const bool several = several_cidrs(config);
  const std::vector<std::string> found = triples_where(accounts, [&](const VPCConfig& vpc) {
    return several ? !has_crvn_cidrs(vpc) : !vpc.crvn_cidr || vpc.crvn_cidrs.has_value();
  });
  if (found.empty()) return;
  throw ValueError("'config.configure_spoke_gw_hs' is " +
                   python_bool(config.configure_spoke_gw_hs) +
                   (several ? ", crvn_cidrs cannot be empty."
                            : ", crvn_cidr must be used instead of crvn_cidrs.") +
                   " List of nonconforming VPCs: " + join(found, "; "));
}

// Several-CIDR mode: a gateway zone for each crvn_cidrs entry.
void check_gw_zones_cover_crvn_cidrs(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  const std::vector<std::string> found = triples_where(accounts, [](const VPCConfig& vpc) {
    return has_crvn_cidrs(vpc) && vpc.crvn_cidrs->size() > vpc.gw_zones.size();
  });
  if (found.empty()) return;
  throw ValueError(
      "length of gw_zones must be longer than or equal to the length of crvn_cidrs. List of "
      "nonconforming VPCs: " +
      join(found, "; "));
}

// spoke_advertisement, even an empty one, needs advertisement switched on.
void check_spoke_advertisement_switched_on(const ScriptConfig& config, const Accounts& accounts) {
  if (config.configure_spoke_advertisement) return;
  for_each_vpc(accounts, [](const auto& /*account*/, const auto& /*region*/, const auto& vpc) {
    if (vpc.spoke_advertisement) {
      throw ValueError(
          "configure_spoke_advertisement in config section must be set to True to use "
          "spoke_advertisement. ");
    }
  });
}

// With advertisement on, a given spoke_advertisement names at least one CIDR.
void check_spoke_advertisement_not_empty(const Accounts& accounts) {
  const std::vector<std::string> found = triples_where(accounts, [](const VPCConfig& vpc) {
    return vpc.spoke_advertisement && vpc.spoke_advertisement->empty();
  });
  if (found.empty()) return;
  throw ValueError(
      "spoke_advertisement cannot be empty. Add a CIDR or remove it. List of nonconforming "
      "VPCs: " +
      join(found, "; "));
}

}  // namespace

std::optional<CorvaneConfig> DiscoveryConfiguration::check_field_for_none(
    std::optional<CorvaneConfig> val, const FieldInfo& field, const BuildContext& context) {
  if (context.discovery_only) return val;
  if (val) return val;
  throw ValueError("missing " + std::string(field.name),
                   required_keys_hint<CorvaneConfig>("`" + std::string(field.name) + "`") +
                       "; only a discovery-only run may omit it");
}

std::optional<TGWConfig> DiscoveryConfiguration::check_tgw_for_none(std::optional<TGWConfig> val) {
  if (!val) {
    constexpr std::array<std::string_view, 3> keys{"tgw_account", "tgw_role", "tgw_by_region"};
    throw ValueError("missing tgw_account, tgw_role and tgw_by_region attributes",
                     hints::needs("`tgw`", keys));
  }
  return val;
}

CleanupConfig DiscoveryConfiguration::check_cleanup(CleanupConfig val,
                                                    const Values<DiscoveryConfiguration>& values,
                                                    const BuildContext& context) {
  if (context.discovery_only) return val;
  const ScriptConfig* config = values.get(&DiscoveryConfiguration::config);
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

bool DiscoveryConfiguration::isExpectedVpcPrefix(const IPv4Network& ip, const CIDRList& prefixes) {
  for (const IPv4Network& n : prefixes) {
    if (ip.subnet_of(n)) return true;
  }
  return false;
}

bool DiscoveryConfiguration::isExpectedVpcPrefix(std::string_view ip, const CIDRList& prefixes) {
  IPv4Network::ParseResult parsed = IPv4Network::parse(ip);
  if (!parsed.network) {
    throw std::invalid_argument(
        parsed.host_bits_set ? std::string(ip) + " has host bits set"
                             : "'" + std::string(ip) + "' does not appear to be an IPv4 network");
  }
  return isExpectedVpcPrefix(*parsed.network, prefixes);
}

ScriptConfig DiscoveryConfiguration::check_config(ScriptConfig val,
                                                  const Values<DiscoveryConfiguration>& values,
                                                  const BuildContext& context) {
  if (context.discovery_only) return val;
  static const Accounts kNoAccounts;
  const Accounts* given = values.get(&DiscoveryConfiguration::account_info);
  const Accounts& accounts = given != nullptr ? *given : kNoAccounts;

  check_egress_needs_gw_name(val);
  check_egress_names_need_egress(val, accounts);
  check_gw_names_given(val, accounts);
  // Gateway addressing, in the order its findings are reported.
  check_crvn_cidr_prefix_length(val, accounts);
  check_crvn_cidr_allowed(val, accounts);
  check_eips_fit_ha_mode(val, accounts);
  check_eips_match_crvn_cidrs(val, accounts);
  check_crvn_cidr_fits_gw_mode(val, accounts);
  check_gw_zones_cover_crvn_cidrs(val, accounts);
  // Only a document whose addressing passed gets here.
  check_spoke_advertisement_switched_on(val, accounts);
  check_spoke_advertisement_not_empty(accounts);
  return val;
}

}  // namespace tarnwick::core
