#include "cli/diff_model.hpp"

#include <algorithm>
#include <array>
#include <concepts>
#include <cstdint>
#include <map>
#include <string_view>
#include <utility>

#include "tarnwick/core/document.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::cli {

namespace {

using J = nlohmann::ordered_json;
using core::AccountInfo;
using core::DiscoveryConfiguration;
using core::Region;
using core::VPCConfig;

// Lists whose order carries no meaning, by key: each names a set of networks, zones, addresses,
// peerings or resource kinds, and writing them in another order changes nothing the migration
// does. Every other list (tag lists among them) is compared in order, so that a reordering the
// tool might act on is shown rather than hidden. Kept here, in one place, for every record.
constexpr std::array<std::string_view, 13> kUnorderedLists = {"crvn_cidrs",
                                                              "spoke_advertisement",
                                                              "spoke_routes",
                                                              "retain_peering_cidrs",
                                                              "filter_cidrs",
                                                              "expect_dest_cidrs",
                                                              "expect_vpc_prefixes",
                                                              "vpc_cidrs",
                                                              "allow_vpc_cidrs",
                                                              "gw_zones",
                                                              "eips",
                                                              "retain_peerings",
                                                              "resources"};

bool unordered(std::string_view key) {
  return std::find(kUnorderedLists.begin(), kUnorderedLists.end(), key) != kUnorderedLists.end();
}

J as_set(J list) {
  auto& items = list.get_ref<J::array_t&>();
  std::sort(items.begin(), items.end());
  items.erase(std::unique(items.begin(), items.end()), items.end());
  return list;
}

// Two dumped values of the key `key`, field by field: a mapping is entered (one key path per
// change), every other value compared whole.
void compare(const std::string& path, std::string_view key, const J& a, const J& b,
             std::vector<Change>& out) {
  if (a.is_object() && b.is_object()) {
    const auto at = [&](const std::string& k) { return path.empty() ? k : path + "." + k; };
    for (const auto& [k, v] : a.items()) compare(at(k), k, v, b.contains(k) ? b.at(k) : J(), out);
    for (const auto& [k, v] : b.items()) {
      if (!a.contains(k)) compare(at(k), k, J(), v, out);
    }
    return;
  }
  const bool same =
      a.is_array() && b.is_array() && unordered(key) ? as_set(a) == as_set(b) : a == b;
  if (!same) out.push_back({path, a, b});
}

// Two records of one type, row by row, but for the row `skip` (compared on its own): a field
// whose typed values are equal is passed over; only one that differs is dumped and compared.
template <class R>
void compare_rows(const R& a, const R& b, std::string_view skip, std::vector<Change>& out) {
  core::table_of<R>.each([&](const auto& row) {
    if (row.key == skip) return;
    using M = typename std::decay_t<decltype(row)>::member_type;
    if constexpr (std::equality_comparable<M>) {
      if (a.*row.member == b.*row.member) return;
    }
    compare(std::string(row.key), row.key, core::dump_field(row, a), core::dump_field(row, b),
            out);
  });
}

std::string index_path(std::size_t account) {
  return "account_info." + std::to_string(account);
}
std::string index_path(std::size_t account, std::size_t region) {
  return index_path(account) + ".regions." + std::to_string(region);
}

// A VPC of a document: the record, and its account's, region's and own index.
struct VpcAt {
  const VPCConfig* vpc;
  std::uint32_t account, region, index;
};

// A document's VPCs in document order, and their positions sorted by id (in document order
// among equal ids, so that the k-th of an id in one document meets the k-th in the other).
struct VpcIndex {
  const DiscoveryConfiguration& doc;
  std::vector<VpcAt> all;
  std::vector<std::uint32_t> by_id;

  explicit VpcIndex(const DiscoveryConfiguration& d) : doc(d) {
    for (std::uint32_t i = 0; i < doc.account_info.size(); ++i) {
      const auto& regions = doc.account_info[i].regions;
      for (std::uint32_t j = 0; j < regions.size(); ++j) {
        for (std::uint32_t k = 0; k < regions[j].vpcs.size(); ++k)
          all.push_back({&regions[j].vpcs[k], i, j, k});
      }
    }
    by_id.resize(all.size());
    for (std::uint32_t n = 0; n < by_id.size(); ++n) by_id[n] = n;
    std::stable_sort(by_id.begin(), by_id.end(), [&](std::uint32_t x, std::uint32_t y) {
      return all[x].vpc->vpc_id < all[y].vpc->vpc_id;
    });
  }

  const std::string& id(std::uint32_t n) const { return all[by_id[n]].vpc->vpc_id; }
  Place place(const VpcAt& v) const {
    return {doc.account_info[v.account].account_id,
            doc.account_info[v.account].regions[v.region].region};
  }
  std::string path(const VpcAt& v) const {
    return index_path(v.account, v.region) + ".vpcs." + std::to_string(v.index);
  }
};

constexpr auto kNone = static_cast<std::uint32_t>(-1);

// For each VPC of NEW (by position), the position of its VPC in OLD, or kNone.
std::vector<std::uint32_t> match(const VpcIndex& before, const VpcIndex& after) {
  std::vector<std::uint32_t> out(after.all.size(), kNone);
  for (std::size_t i = 0, j = 0; i < before.by_id.size() && j < after.by_id.size();) {
    const int order = before.id(i).compare(after.id(j));
    if (order == 0) out[after.by_id[j++]] = before.by_id[i++];
    if (order < 0) ++i;
    if (order > 0) ++j;
  }
  return out;
}

// Where NEW holds each account (its first of an id) and each region: the paths of what NEW
// lacks point at the nearest record NEW still has.
struct NewPlaces {
  std::map<std::string, std::size_t> accounts;
  std::map<Place, std::string> regions;

  explicit NewPlaces(const DiscoveryConfiguration& doc) {
    for (std::size_t i = 0; i < doc.account_info.size(); ++i) {
      const AccountInfo& a = doc.account_info[i];
      accounts.emplace(a.account_id, i);
      for (std::size_t j = 0; j < a.regions.size(); ++j)
        regions.emplace(Place{a.account_id, a.regions[j].region}, index_path(i, j));
    }
  }
  std::string nearest(const Place& p) const {
    if (const auto r = regions.find(p); r != regions.end()) return r->second;
    const auto a = accounts.find(p.account);
    return a != accounts.end() ? index_path(a->second) : "account_info";
  }
};

void compare_vpcs(const DiscoveryConfiguration& old_doc, const DiscoveryConfiguration& new_doc,
                  const NewPlaces& places, Differences& d) {
  const VpcIndex before(old_doc), after(new_doc);
  const std::vector<std::uint32_t> matched = match(before, after);
  std::vector<bool> kept(before.all.size(), false);
  for (std::size_t n = 0; n < after.all.size(); ++n) {
    const VpcAt& v = after.all[n];
    VpcChange c{v.vpc->vpc_id, {}, after.place(v), v.vpc, {}, after.path(v)};
    if (matched[n] == kNone) {
      d.added.push_back(std::move(c));
      continue;
    }
    const VpcAt& was = before.all[matched[n]];
    kept[matched[n]] = true;
    c.from = before.place(was);
    compare_rows(*was.vpc, *v.vpc, "", c.changes);
    if (c.from != c.to) {
      d.moved.push_back(std::move(c));
    } else if (!c.changes.empty()) {
      d.changed.push_back(std::move(c));
    }
  }
  for (std::size_t o = 0; o < before.all.size(); ++o) {
    if (kept[o]) continue;
    const VpcAt& v = before.all[o];
    const Place from = before.place(v);
    d.removed.push_back({v.vpc->vpc_id, from, {}, v.vpc, {}, places.nearest(from)});
  }
}

// Accounts by account_id (the k-th of an id written twice with the k-th), their own fields
// compared; regions by name within their account, as a multiset of places.
void compare_accounts(const DiscoveryConfiguration& old_doc,
                      const DiscoveryConfiguration& new_doc, const NewPlaces& places,
                      Differences& d) {
  std::map<std::string, std::vector<std::size_t>> before, after;  // positions by id
  std::map<Place, int> regions;  // NEW's count minus OLD's
  std::map<Place, std::string> region_at;  // NEW's path of a place
  for (std::size_t i = 0; i < old_doc.account_info.size(); ++i) {
    const AccountInfo& a = old_doc.account_info[i];
    before[a.account_id].push_back(i);
    for (const Region& r : a.regions) regions[{a.account_id, r.region}]--;
  }
  for (std::size_t i = 0; i < new_doc.account_info.size(); ++i) {
    const AccountInfo& a = new_doc.account_info[i];
    after[a.account_id].push_back(i);
    for (std::size_t j = 0; j < a.regions.size(); ++j) {
      const Place p{a.account_id, a.regions[j].region};
      regions[p]++;
      region_at.try_emplace(p, index_path(i, j));
    }
  }
  for (const auto& [id, news] : after) {
    const auto it = before.find(id);
    const std::size_t olds = it == before.end() ? 0 : it->second.size();
    for (std::size_t k = 0; k < news.size(); ++k) {
      AccountChange c{id, {}, index_path(news[k])};
      if (k >= olds) {
        d.accounts_added.push_back(std::move(c));
        continue;
      }
      compare_rows(old_doc.account_info[it->second[k]], new_doc.account_info[news[k]], "regions",
                   c.changes);
      if (!c.changes.empty()) d.accounts_changed.push_back(std::move(c));
    }
  }
  for (const auto& [id, olds] : before) {
    const auto it = after.find(id);
    const std::size_t news = it == after.end() ? 0 : it->second.size();
    for (std::size_t k = news; k < olds.size(); ++k)
      d.accounts_removed.push_back({id, {}, places.nearest({id, ""})});
  }
  for (const auto& [place, n] : regions) {
    for (int i = 0; i < n; ++i) d.regions_added.push_back({place, region_at[place]});
    for (int i = 0; i > n; --i) d.regions_removed.push_back({place, places.nearest(place)});
  }
}

}  // namespace

Differences differences(const DiscoveryConfiguration& before,
                        const DiscoveryConfiguration& after) {
  Differences d;
  const NewPlaces places(after);
  compare_vpcs(before, after, places, d);
  compare_accounts(before, after, places, d);
  compare_rows(before, after, "account_info", d.sections);
  return d;
}

J vpc_json(const VPCConfig& vpc) {
  return core::dump(vpc);
}

}  // namespace tarnwick::cli
