// What differs between two loaded migration documents (diff_model.cpp), and its renderings
// (diff_render.cpp). The records are compared through their tables' rows: only a field that
// differs is dumped, so two large documents cost little more than their two loads.
#pragma once

#include <compare>
#include <cstddef>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

namespace tarnwick::core {
struct DiscoveryConfiguration;
struct VPCConfig;
}  // namespace tarnwick::core

namespace tarnwick::cli {

// One field that differs, at its key path below the record compared, as the rows dump it (null
// where one side lacks the key).
struct Change {
  std::string path;
  nlohmann::ordered_json old_value;
  nlohmann::ordered_json new_value;
};

struct Place {
  std::string account;
  std::string region;
  friend auto operator<=>(const Place&, const Place&) = default;
};

// Key paths (`at`) are NEW's, as the documents are written (account_info.0.regions.1): where a
// change is shown. For what NEW lacks, the nearest record NEW still has (the region or account
// that held it), else account_info.
struct VpcChange {
  std::string id;
  Place from;  // removed, moved, changed: where OLD has it
  Place to;    // added, moved, changed: where NEW has it
  const core::VPCConfig* value = nullptr;
  std::vector<Change> changes;
  std::string at;
};

struct AccountChange {
  std::string account;
  std::vector<Change> changes;  // added, removed: none
  std::string at;
};

struct RegionChange {
  Place place;
  std::string at;
};

struct Differences {
  std::vector<VpcChange> added, removed, moved, changed;
  std::vector<AccountChange> accounts_added, accounts_removed, accounts_changed;
  std::vector<RegionChange> regions_added, regions_removed;
  std::vector<Change> sections;

  bool empty() const {
    return added.empty() && removed.empty() && moved.empty() && changed.empty() &&
           accounts_added.empty() && accounts_removed.empty() && accounts_changed.empty() &&
           regions_added.empty() && regions_removed.empty() && sections.empty();
  }
};

// VPCs matched by vpc_id wherever they are (the k-th of an id written twice with the k-th),
// accounts by account_id, regions by name within their account, every other section field by
// field; lists compared as sets where their order carries no meaning.
Differences differences(const core::DiscoveryConfiguration& before,
                        const core::DiscoveryConfiguration& after);

// A VPC record as dumped (defaults included).
nlohmann::ordered_json vpc_json(const core::VPCConfig& vpc);

// "1 VPC", "3 VPCs".
std::string counted(std::size_t n, const char* one, const char* many);

// The renderings. `new_text` is NEW's text (its name `new_name`), read for its lines.
std::string summary(const Differences& d);
std::string diff_text(const Differences& d);
std::string diff_markdown(const Differences& d);
std::string diff_github(const Differences& d, const std::string& new_name,
                        const std::string& new_text);
nlohmann::ordered_json diff_json(const Differences& d);

}  // namespace tarnwick::cli
