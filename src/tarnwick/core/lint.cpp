// The lint rules' texts, the ignore comment, and the rules that read the built records.
#include "tarnwick/core/lint.hpp"

#include <algorithm>
#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <unordered_map>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/hints.hpp"

namespace tarnwick::core {

namespace {

constexpr std::string_view kVpcIdField[] = {"account_info.regions.vpcs.vpc_id"};
constexpr std::string_view kAccountIdField[] = {"account_info.account_id"};
constexpr std::string_view kRegionField[] = {"account_info.regions.region"};

constexpr LintRuleText kRules[] = {
    {LintRule::duplicate_vpc_id, "duplicate-vpc-id", "A VPC listed twice",
     "The same vpc_id is listed twice in the document: the VPC would be migrated twice, each "
     "time with its own entry's settings. The warning is at the later entry.",
     true, true, kVpcIdField},
    {LintRule::duplicate_account_id, "duplicate-account-id", "An account listed twice",
     "The same account_id is given to two accounts: the account's regions belong under one "
     "entry, or its VPCs are migrated with two sets of account settings. The warning is at the "
     "later entry.",
     true, true, kAccountIdField},
    {LintRule::duplicate_region, "duplicate-region", "A region listed twice in one account",
     "One account lists the same region twice: its VPCs belong under one entry, where none is "
     "overlooked. The warning is at the later entry.",
     true, true, kRegionField},
    {LintRule::account_id_digits, "account-id-digits", "An account id that is not 12 digits",
     "An AWS account id has exactly 12 digits, leading zeros included: a shorter or longer one "
     "names no account (often a zero lost, or one digit too many).",
     true, true, kAccountIdField},
    {LintRule::bare_address,
     "bare-address",
     "An address without a prefix length",
     "An item of a network list written as an address alone is read as a single host (/32), "
     "which is rarely what a route or filter list means: write the prefix length.",
     true,
     false,
     {}},
    {LintRule::truthy,
     "truthy",
     "A boolean written as yes, no, on or off",
     "A boolean written as yes, no, on or off (any letter case) is read as true or false here, "
     "but as text by YAML 1.2 readers and most other tools: write true or false. Off unless "
     "asked for.",
     false,
     false,
     {}},
};

// A value as a message quotes it: a very long one is cut, since duplicates may repeat it.
std::string shown(std::string_view text) {
  constexpr std::size_t kMaxShown = 64;
  if (text.size() <= kMaxShown) return std::string(text);
  std::size_t cut = kMaxShown;
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0U) == 0x80U) --cut;
  return std::string(text.substr(0, cut)) + "...";
}

std::string_view trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

// Characters of UTF-8 text, as the reader counts columns.
std::uint32_t characters(std::string_view text) {
  std::uint32_t n = 0;
  for (const char c : text) n += (static_cast<unsigned char>(c) & 0xC0U) != 0x80U ? 1 : 0;
  return n;
}

// The ids of one ignore line's list ("truthy, bare-address"): `list` is a part of `line`, the
// text's line `n`.
void read_ids(std::string_view line, std::uint32_t n, std::string_view list, IgnoreComment& out) {
  while (!list.empty()) {
    const std::size_t comma = list.find(',');
    const std::string_view id = trim(list.substr(0, comma));
    if (const auto rule = lint_rule(id)) {
      out.ignored.add(*rule);
    } else if (!id.empty()) {
      const std::uint32_t column =
          characters(line.substr(0, static_cast<std::size_t>(id.data() - line.data()))) + 1;
      out.unknown.push_back({std::string(id), n, column, column + characters(id)});
    }
    if (comma == std::string_view::npos) break;
    list.remove_prefix(comma + 1);
  }
}

std::vector<std::string_view> rule_ids() {
  std::vector<std::string_view> ids;
  for (const LintRuleText& t : kRules) ids.push_back(t.id);
  return ids;
}

ErrorDetail warning(LintRule rule, Loc loc, std::string message) {
  ErrorDetail e;
  e.loc = std::move(loc);
  e.msg = std::move(message);
  e.rule = lint_text(rule).id;
  e.type = std::string(e.rule);
  e.severity = Severity::warning;
  return e;
}

Loc account_loc(std::size_t a) {
  return {std::string("account_info"), static_cast<std::int64_t>(a)};
}

Loc region_loc(std::size_t a, std::size_t r) {
  Loc loc = account_loc(a);
  loc.emplace_back(std::string("regions"));
  loc.emplace_back(static_cast<std::int64_t>(r));
  return loc;
}

Loc with_key(Loc loc, std::string_view key) {
  loc.emplace_back(std::string(key));
  return loc;
}

// The later of two equal values, placed at its key, with the first as a related place.
void add_duplicate(std::vector<ErrorDetail>& out, LintRule rule, Loc later, const Loc& first,
                   std::string message) {
  out.push_back(warning(rule, std::move(later), std::move(message)));
  out.back().related.push_back({first, "first listed here", {}, {}});
}

// Where a VPC is: account, region, item.
struct VpcPlace {
  std::size_t a, r, v;
};

Loc vpc_id_loc(const VpcPlace& p) {
  Loc loc = with_key(region_loc(p.a, p.r), "vpcs");
  loc.emplace_back(static_cast<std::int64_t>(p.v));
  return with_key(std::move(loc), "vpc_id");
}

// The VPCs in document order, numbered: each region's first number, to find a VPC by its number.
class VpcNumbers {
 public:
  explicit VpcNumbers(const std::vector<AccountInfo>& accounts) {
    std::uint32_t n = 0;
    for (std::size_t a = 0; a < accounts.size(); ++a) {
      for (std::size_t r = 0; r < accounts[a].regions.size(); ++r) {
        regions_.push_back({n, a, r});
        n += static_cast<std::uint32_t>(accounts[a].regions[r].vpcs.size());
      }
    }
  }
  VpcPlace place(std::uint32_t n) const {
    const auto it = std::upper_bound(regions_.begin(), regions_.end(), n,
                                     [](std::uint32_t x, const Start& s) { return x < s.first; });
    const Start& s = *(it - 1);
    return {s.a, s.r, n - s.first};
  }

 private:
  struct Start {
    std::uint32_t first;
    std::size_t a, r;
  };
  std::vector<Start> regions_;
};

// Every VPC id's hash with the VPC's number, sorted: equal ids stand together, the first listed
// first. Sorting numbers rather than the texts keeps the pass quick (no text is read twice), and
// the list holds a large document's ids in a fraction of a hash map's memory, at the end of a
// load, when every record is held.
void lint_vpcs(const std::vector<AccountInfo>& accounts, std::vector<ErrorDetail>& out) {
  struct Id {
    std::size_t hash;
    std::uint32_t n;
    bool operator<(const Id& other) const {
      return hash != other.hash ? hash < other.hash : n < other.n;
    }
  };
  std::size_t count = 0;
  for (const AccountInfo& account : accounts) {
    for (const Region& region : account.regions) count += region.vpcs.size();
  }
  std::vector<Id> ids;
  ids.reserve(count);
  for (const AccountInfo& account : accounts) {
    for (const Region& region : account.regions) {
      for (const VPCConfig& vpc : region.vpcs) {
        ids.push_back({std::hash<std::string_view>{}(vpc.vpc_id),
                       static_cast<std::uint32_t>(ids.size())});
      }
    }
  }
  std::sort(ids.begin(), ids.end());
  const VpcNumbers numbers(accounts);
  const auto id_of = [&](std::uint32_t n) -> const std::string& {
    const VpcPlace p = numbers.place(n);
    return accounts[p.a].regions[p.r].vpcs[p.v].vpc_id;
  };
  std::vector<std::pair<std::uint32_t, std::uint32_t>> twice;  // (later, first), by later
  std::vector<std::uint32_t> firsts;  // of one hash: the first VPC of each distinct id
  for (std::size_t i = 0, end = 0; i < ids.size(); i = end) {
    for (end = i + 1; end < ids.size() && ids[end].hash == ids[i].hash;) ++end;
    firsts.clear();
    for (std::size_t k = i; k < end && end - i > 1; ++k) {
      const std::string& id = id_of(ids[k].n);
      const auto first = std::find_if(firsts.begin(), firsts.end(),
                                      [&](std::uint32_t f) { return id_of(f) == id; });
      if (first == firsts.end()) {
        firsts.push_back(ids[k].n);
      } else {
        twice.emplace_back(ids[k].n, *first);
      }
    }
  }
  std::vector<Id>().swap(ids);
  std::sort(twice.begin(), twice.end());
  for (const auto& [later, first_n] : twice) {
    const VpcPlace at = numbers.place(later), first = numbers.place(first_n);
    add_duplicate(out, LintRule::duplicate_vpc_id, vpc_id_loc(at), vpc_id_loc(first),
                  "vpc_id '" + shown(id_of(later)) + "' is listed twice (first in account " +
                      shown(accounts[first.a].account_id) + ", region " +
                      accounts[first.a].regions[first.r].region +
                      "): the VPC would be migrated twice");
  }
}

void lint_accounts(const std::vector<AccountInfo>& accounts, LintSet rules,
                   std::vector<ErrorDetail>& out) {
  std::unordered_map<std::string_view, std::size_t> seen;
  for (std::size_t a = 0; a < accounts.size(); ++a) {
    const AccountInfo& account = accounts[a];
    const std::string id = shown(account.account_id);
    if (rules.has(LintRule::account_id_digits) && account.account_id.size() != 12) {
      out.push_back(warning(LintRule::account_id_digits, with_key(account_loc(a), "account_id"),
                            "account id '" + id + "' has " +
                                std::to_string(account.account_id.size()) +
                                " digits: an AWS account id has exactly 12"));
    }
    const auto [it, added] = seen.try_emplace(account.account_id, a);
    if (!added && rules.has(LintRule::duplicate_account_id)) {
      add_duplicate(out, LintRule::duplicate_account_id, with_key(account_loc(a), "account_id"),
                    with_key(account_loc(it->second), "account_id"),
                    "account '" + id + "' is listed twice (first as item " +
                        std::to_string(it->second) +
                        " of account_info): its regions belong under one entry");
    }
    if (!rules.has(LintRule::duplicate_region)) continue;
    std::unordered_map<std::string_view, std::size_t> regions;
    for (std::size_t r = 0; r < account.regions.size(); ++r) {
      const auto [first, fresh] = regions.try_emplace(account.regions[r].region, r);
      if (fresh) continue;
      add_duplicate(out, LintRule::duplicate_region, with_key(region_loc(a, r), "region"),
                    with_key(region_loc(a, first->second), "region"),
                    "region '" + account.regions[r].region + "' is listed twice in account " + id +
                        ": its VPCs belong under one entry");
    }
  }
}

}  // namespace

std::span<const LintRuleText> lint_rules() {
  return kRules;
}

const LintRuleText& lint_text(LintRule rule) {
  return kRules[static_cast<std::size_t>(rule)];
}

std::optional<LintRule> lint_rule(std::string_view id) {
  for (const LintRuleText& t : kRules) {
    if (t.id == id) return t.rule;
  }
  return std::nullopt;
}

LintSet LintSet::defaults() {
  LintSet out;
  for (const LintRuleText& t : kRules) {
    if (t.on_by_default) out.add(t.rule);
  }
  return out;
}

LintSet LintSet::reading_records() const {
  LintSet out;
  for (const LintRuleText& t : kRules) {
    if (t.reads_records && has(t.rule)) out.add(t.rule);
  }
  return out;
}

std::string unknown_rule_message(std::string_view id) {
  const std::vector<std::string_view> ids = rule_ids();
  std::string names;
  for (const std::string_view known : ids) {
    names += (names.empty() ? "" : ", ") + std::string(known);
  }
  const std::string_view meant = hints::closest_candidate(id, ids);
  std::string message = "unknown lint rule '" + shown(id) + "'";
  if (!meant.empty()) message += "; did you mean '" + std::string(meant) + "'?";
  return message + " (rules: " + names + ")";
}

ErrorDetail unknown_rule_warning(const IgnoreComment::Unknown& unknown) {
  ErrorDetail e;
  e.msg = unknown_rule_message(unknown.id);
  e.rule = kUnknownLintRule;
  e.type = std::string(kUnknownLintRule);
  e.mark = {unknown.line, unknown.column};
  e.end = {unknown.line, unknown.end_column};
  e.severity = Severity::warning;
  // Written for the operator only when one rule is the likeliest.
  const std::vector<std::string_view> meant = hints::closest_candidates(unknown.id, rule_ids());
  if (meant.size() == 1) {
    e.fix = change_to(std::string(meant.front()), Applicability::safe);  // a comment's spelling
    e.fix->start = e.mark;
    e.fix->end = e.end;
  }
  return e;
}

IgnoreComment ignore_comment(std::string_view head, bool whole) {
  IgnoreComment out;
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);  // a byte-order mark
  constexpr std::string_view kTag = "tarnwick-config:";
  constexpr std::string_view kIgnore = "ignore";
  for (std::uint32_t n = 1;; ++n) {
    const std::size_t eol = head.find_first_of("\r\n");
    if (eol == std::string_view::npos && !whole) {
      // The line may go on past the head, unless it is plainly no comment.
      const std::string_view start = trim(head);
      out.complete = !start.empty() && !start.starts_with('#');
      return out;
    }
    const std::string_view raw = head.substr(0, eol);
    std::string_view line = trim(raw);
    if (!line.empty() && !line.starts_with('#')) return out;  // the document begins
    line = trim(line.substr(line.empty() ? 0 : 1));
    if (line.starts_with(kTag)) {
      line = trim(line.substr(kTag.size()));
      if (line.starts_with(kIgnore) &&
          (line.size() == kIgnore.size() || line[kIgnore.size()] == ' ' ||
           line[kIgnore.size()] == '\t')) {
        read_ids(raw, n, line.substr(kIgnore.size()), out);
      }
    }
    if (eol == std::string_view::npos) return out;
    const bool crlf = head[eol] == '\r' && eol + 1 < head.size() && head[eol + 1] == '\n';
    head.remove_prefix(eol + (crlf ? 2 : 1));
  }
}

std::vector<ErrorDetail> lint_records(const DiscoveryConfiguration& doc, LintSet rules) {
  std::vector<ErrorDetail> out;
  if (rules.has(LintRule::account_id_digits) || rules.has(LintRule::duplicate_account_id) ||
      rules.has(LintRule::duplicate_region)) {
    lint_accounts(doc.account_info, rules, out);
  }
  if (rules.has(LintRule::duplicate_vpc_id)) lint_vpcs(doc.account_info, out);
  return out;
}

}  // namespace tarnwick::core
