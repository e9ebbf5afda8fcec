// The checks of the document record that look across sections.
#include <optional>
#include <string>
#include <string_view>
#include <type_traits>
#include <vector>

#include "tarnwick/core/document.hpp"

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

template <class T>
constexpr bool kIsOptional = false;
template <class T>
constexpr bool kIsOptional<std::optional<T>> = true;

// Whether the VPC leaves the field under a key of the host's GW_NAME_KEYS null: read through the
// VPC's table. A field that cannot be null is given; a key that names no field counts as not
// given (no VPC can set it).
bool left_null(const VPCConfig& vpc, std::string_view key) {
  bool found = false;
  bool null = true;
  table_of<VPCConfig>.each([&](const auto& row) {
    if (found || row.key != key) return;
    found = true;
    using M = typename std::remove_cvref_t<decltype(row)>::member_type;
    if constexpr (kIsOptional<M>) {
      null = !(vpc.*row.member).has_value();
    } else {
      null = false;
    }
  });
  return null;
}

// One VPC where the document holds it: its records and its indexes in the three lists.
struct VpcAt {
  const AccountInfo& account;
  const Region& region;
  const VPCConfig& vpc;
  std::int64_t a, r, v;

  // The key path of one of the VPC's keys, from the document's root.
  Loc loc(std::string_view key) const {
    return {std::string("account_info"), a, std::string("regions"), r,
            std::string("vpcs"),         v, std::string(key)};
  }
};

// Calls fn(VpcAt) for every VPC in document order.
template <class F>
void for_each_vpc(const std::vector<AccountInfo>& accounts, F&& fn) {
  for (std::size_t a = 0; a < accounts.size(); ++a) {
    const AccountInfo& account = accounts[a];
    for (std::size_t r = 0; r < account.regions.size(); ++r) {
      const Region& region = account.regions[r];
      for (std::size_t v = 0; v < region.vpcs.size(); ++v) {
        fn(VpcAt{account, region, region.vpcs[v], static_cast<std::int64_t>(a),
                 static_cast<std::int64_t>(r), static_cast<std::int64_t>(v)});
      }
    }
  }
}

// What a rule found: the items its message lists, and each VPC's place with why it fails there.
struct Findings {
  std::vector<std::string> items;
  std::vector<Related> places;

  bool empty() const { return items.empty(); }
  void add(std::string item, const VpcAt& at, std::string_view key, std::string why) {
    items.push_back(std::move(item));
    places.push_back({at.loc(key), "vpc " + at.vpc.vpc_id + ": " + std::move(why), {}, {}, true});
  }
};

// A rule's rejection: `head`, then the findings joined by `separator`, each VPC also a place.
[[noreturn]] void reject(std::string_view rule, std::string head, Findings found,
                         std::string_view separator) {
  const std::size_t listed_from = head.size();
  ValueError e(head + join(found.items, separator));
  e.with_rule(rule).with_places(std::move(found.places), listed_from, separator);
  throw e;
}

// The VPCs for which why(vpc) says something, as triples, each placed at `key` of its VPC (the
// VPC's id when the key is what is missing).
template <class Why>
Findings triples_where(const std::vector<AccountInfo>& accounts, Why&& why) {
  Findings found;
  for_each_vpc(accounts, [&](const VpcAt& at) {
    if (auto [key, reason] = why(at.vpc); !reason.empty()) {
      found.add(triple(at.account, at.region, at.vpc), at, key, std::move(reason));
    }
  });
  return found;
}

using Why =
    std::pair<std::string_view, std::string>;  // the key, and why it fails ("": it does not)

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
        "True.")
        .with_rule("check_config.egress_needs_gw_name");
  }
}

// Egress names need egress switched off explicitly to be refused: null lets them through.
void check_egress_names_need_egress(const ScriptConfig& config, const Accounts& accounts) {
  if (config.configure_transit_gw_egress != false) return;
  Findings found = triples_where(accounts, [](const VPCConfig& vpc) -> Why {
    if (!vpc.transit_gw_egress_name) return {};
    return {"transit_gw_egress_name",
            "transit_gw_egress_name is set, but config.configure_transit_gw_egress is False"};
  });
  if (found.empty()) return;
  reject("check_config.egress_names_need_egress",
         "'config.configure_transit_gw_egress' must be set to True to use "
         "vpc.transit_gw_egress_name. Nonconforming VPCs: ",
         std::move(found), "\n");
}

// Where naming is on, every VPC names both its gateways (an empty name counts as given): the
// keys of GW_NAME_KEYS, or of the host's own list when it gives one.
void check_gw_names_given(const ScriptConfig& config, const Accounts& accounts,
                          const std::vector<std::string>* host_keys) {
  if (!config.configure_gw_name) return;
  Findings found = triples_where(accounts, [host_keys](const VPCConfig& vpc) -> Why {
    auto missing = [](std::string_view key) -> Why {
      return {"vpc_id", std::string(key) + " is missing; config.configure_gw_name is True"};
    };
    if (host_keys != nullptr) {
      for (const std::string& key : *host_keys) {
        if (left_null(vpc, key)) return missing(key);
      }
      return {};
    }
    for (std::string_view key : GW_NAME_KEYS) {
      if (!gw_name(vpc, key)) return missing(key);
    }
    return {};
  });
  if (found.empty()) return;
  reject("check_config.gw_names_given",
         "'config.configure_gw_name' is " + python_bool(config.configure_gw_name) +
             ", both 'spoke_gw_name' and 'transit_gw_name' must be set in all "
             "VPCs.\nList of nonconforming VPCs:\n",
         std::move(found), "\n");
}

// Several-CIDR mode only: a crvn_cidr no longer than /24.
void check_crvn_cidr_prefix_length(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  Findings found = triples_where(accounts, [](const VPCConfig& vpc) -> Why {
    if (!vpc.crvn_cidr || vpc.crvn_cidr->prefix_length() <= 24) return {};
    return {"crvn_cidr", "crvn_cidr " + vpc.crvn_cidr->str() + " is longer than /24"};
  });
  if (found.empty()) return;
  reject("check_config.crvn_cidr_prefix_length",
         "crvn_cidr - number of bits in network mask needs to be 24 or smaller: ", std::move(found),
         "; ");
}

// A crvn_cidr inside allow_vpc_cidrs: always in several-CIDR mode, otherwise only when the
// script adds the VPC CIDR.
void check_crvn_cidr_allowed(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config) && !config.add_vpc_cidr) return;
  Findings found = triples_where(accounts, [&](const VPCConfig& vpc) -> Why {
    if (!vpc.crvn_cidr ||
        DiscoveryConfiguration::isExpectedVpcPrefix(*vpc.crvn_cidr, config.allow_vpc_cidrs)) {
      return {};
    }
    return {"crvn_cidr", "crvn_cidr " + vpc.crvn_cidr->str() +
                             " is not inside any network of config.allow_vpc_cidrs"};
  });
  if (found.empty()) return;
  reject("check_config.crvn_cidr_allowed",
         "crvn_cidr is NOT in allow_vpc_cidrs list: ", std::move(found), "; ");
}

std::string count_of(std::size_t n, std::string_view what) {
  return std::to_string(n) + " " + std::string(what);
}

// Single-CIDR mode only: two eips for an HA gateway, one otherwise. The VPC's own HA flag
// overrides its account's; no eips at all always passes.
void check_eips_fit_ha_mode(const ScriptConfig& config, const Accounts& accounts) {
  if (several_cidrs(config)) return;
  Findings found;
  for_each_vpc(accounts, [&](const VpcAt& at) {
    if (!at.vpc.eips) return;
    const std::optional<bool> spoke_ha =
        at.vpc.spoke_ha.has_value() ? at.vpc.spoke_ha : at.account.spoke_ha;
    const std::string given = "; it has " + std::to_string(at.vpc.eips->size());
    if (spoke_ha == true) {
      if (at.vpc.eips->size() != 2) {
        found.add("HA mode, 2 eips is needed in " + slashed(at.account, at.region, at.vpc), at,
                  "eips", "HA mode needs 2 eips" + given);
      }
    } else if (at.vpc.eips->size() != 1) {
      found.add("Non HA mode, only 1 eip is needed in " + slashed(at.account, at.region, at.vpc),
                at, "eips", "non-HA mode needs 1 eip" + given);
    }
  });
  if (!found.empty()) reject("check_config.eips_fit_ha_mode", "", std::move(found), "; ");
}

// Several-CIDR mode: one eip per crvn_cidrs entry. Judged only for VPCs whose crvn_cidrs are
// given and covered by gw_zones: the rules below report the others.
void check_eips_match_crvn_cidrs(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  Findings found = triples_where(accounts, [](const VPCConfig& vpc) -> Why {
    if (!has_crvn_cidrs(vpc) || vpc.crvn_cidrs->size() > vpc.gw_zones.size() || !vpc.eips ||
        vpc.eips->size() == vpc.crvn_cidrs->size()) {
      return {};
    }
    return {"eips", count_of(vpc.eips->size(), "eips") + " for " +
                        count_of(vpc.crvn_cidrs->size(), "crvn_cidrs")};
  });
  if (found.empty()) return;
  reject("check_config.eips_match_crvn_cidrs",
         "The number of eips should match the number of crvn_cidrs: ", std::move(found), "; ");
}

// The gateway mode decides the addressing key: crvn_cidrs, not empty, in several-CIDR mode;
// crvn_cidr and no crvn_cidrs otherwise.
void check_crvn_cidr_fits_gw_mode(const ScriptConfig& config, const Accounts& accounts) {
  const bool several = several_cidrs(config);
  Findings found = triples_where(accounts, [&](const VPCConfig& vpc) -> Why {
    if (several) {
      if (has_crvn_cidrs(vpc)) return {};
      return {vpc.crvn_cidrs ? "crvn_cidrs" : "vpc_id",
              "crvn_cidrs is missing or empty; config.configure_spoke_gw_hs is True"};
    }
    if (vpc.crvn_cidrs) return {"crvn_cidrs", "crvn_cidrs is given; this mode uses crvn_cidr"};
    if (!vpc.crvn_cidr) return {"vpc_id", "crvn_cidr is missing"};
    return {};
  });
  if (found.empty()) return;
  reject("check_config.crvn_cidr_fits_gw_mode",
         "'config.configure_spoke_gw_hs' is " + python_bool(config.configure_spoke_gw_hs) +
             (several ? ", crvn_cidrs cannot be empty."
                      : ", crvn_cidr must be used instead of crvn_cidrs.") +
             " List of nonconforming VPCs: ",
         std::move(found), "; ");
}

// Several-CIDR mode: a gateway zone for each crvn_cidrs entry.
void check_gw_zones_cover_crvn_cidrs(const ScriptConfig& config, const Accounts& accounts) {
  if (!several_cidrs(config)) return;
  Findings found = triples_where(accounts, [](const VPCConfig& vpc) -> Why {
    if (!has_crvn_cidrs(vpc) || vpc.crvn_cidrs->size() <= vpc.gw_zones.size()) return {};
    return {vpc.gw_zones.empty() ? "crvn_cidrs" : "gw_zones",
            count_of(vpc.gw_zones.size(), "gw_zones") + " for " +
                count_of(vpc.crvn_cidrs->size(), "crvn_cidrs")};
  });
  if (found.empty()) return;
  reject("check_config.gw_zones_cover_crvn_cidrs",
         "length of gw_zones must be longer than or equal to the length of crvn_cidrs. List of "
         "nonconforming VPCs: ",
         std::move(found), "; ");
}

// spoke_advertisement, even an empty one, needs advertisement switched on.
void check_spoke_advertisement_switched_on(const ScriptConfig& config, const Accounts& accounts) {
  if (config.configure_spoke_advertisement) return;
  for_each_vpc(accounts, [](const VpcAt& at) {
    if (!at.vpc.spoke_advertisement) return;
    ValueError e(
        "configure_spoke_advertisement in config section must be set to True to use "
        "spoke_advertisement. ");
    e.with_rule("check_config.spoke_advertisement_switched_on")
        .with_places({{at.loc("spoke_advertisement"),
                       "vpc " + at.vpc.vpc_id +
                           ": spoke_advertisement is set, but "
                           "config.configure_spoke_advertisement is False",
                       {},
                       {},
                       true}},
                     std::string::npos, {});
    throw e;
  });
}

// With advertisement on, a given spoke_advertisement names at least one CIDR.
void check_spoke_advertisement_not_empty(const Accounts& accounts) {
  Findings found = triples_where(accounts, [](const VPCConfig& vpc) -> Why {
    if (!vpc.spoke_advertisement || !vpc.spoke_advertisement->empty()) return {};
    return {"spoke_advertisement", "spoke_advertisement is empty"};
  });
  if (found.empty()) return;
  reject("check_config.spoke_advertisement_not_empty",
         "spoke_advertisement cannot be empty. Add a CIDR or remove it. List of nonconforming "
         "VPCs: ",
         std::move(found), "; ");
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
  check_gw_names_given(val, accounts, context.gw_name_keys);
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

std::optional<ErrorDetail> checks_not_run(const yaml::Node& root,
                                          std::span<const ErrorDetail> faults,
                                          const BuildContext& context) {
  if (context.discovery_only) return std::nullopt;
  const yaml::Entry* config = nullptr;
  for (const yaml::Entry& e : root.entries()) {
    if (e.key->kind() == yaml::Kind::Str && e.key->text() == "config") config = &e;
  }
  if (config == nullptr) return std::nullopt;  // the check does not run for a default
  bool accounts_failed = false;
  for (const ErrorDetail& f : faults) {
    if (f.rule.starts_with("check_config")) return std::nullopt;  // it ran, and said so
    const auto* first = f.loc.empty() ? nullptr : std::get_if<std::string>(&f.loc.front());
    if (first == nullptr) continue;
    if (*first == "config") return std::nullopt;  // it did not run: config's own faults say why
    accounts_failed = accounts_failed || *first == "account_info";
  }
  if (!accounts_failed) return std::nullopt;
  ErrorDetail note;
  note.loc = {std::string("config")};
  note.msg =
      "check_config did not look at the VPCs, because account_info has faults; it checks them "
      "once those are fixed";
  // Nor did the lint rules asked for that read the built records: a faulty document has none.
  std::string waiting;
  const LintSet record_rules = context.lint.reading_records();
  for (const LintRuleText& t : lint_rules()) {
    if (record_rules.has(t.rule)) waiting += (waiting.empty() ? "" : ", ") + std::string(t.id);
  }
  if (!waiting.empty()) {
    note.msg += ". Lint that reads the records did not run either (" + waiting +
                "): it runs once the document has no faults";
  }
  note.type = std::string(kind::kChecksSkipped);
  note.mark = config->key->mark();
  note.about = About::key;
  note.severity = Severity::note;
  return note;
}

}  // namespace tarnwick::core
