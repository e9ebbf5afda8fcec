// The renderings of a diff: text like a plan, markdown tables for a pull request, workflow
// notices at NEW's lines, stable JSON.
#include "cli/diff_model.hpp"

#include <algorithm>
#include <cstdint>
#include <exception>
#include <map>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "cli/markdown.hpp"
#include "report/github_reporter.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::cli {

namespace {

using J = nlohmann::ordered_json;

std::string shown(const J& value) {
  return value.dump(-1, ' ', false, J::error_handler_t::replace);
}

std::string change_text(const Change& c) {
  return c.path + ": " + shown(c.old_value) + " → " + shown(c.new_value);
}

}  // namespace

std::string counted(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One line a kind of change: "3 VPCs added, 1 removed, 2 moved, 5 changed; config: 1 change".
std::string summary(const Differences& d) {
  if (d.empty()) return "no differences";
  std::string s = counted(d.added.size(), "VPC", "VPCs") + " added, " +
                  std::to_string(d.removed.size()) + " removed, " + std::to_string(d.moved.size()) +
                  " moved, " + std::to_string(d.changed.size()) + " changed";
  const std::size_t accounts =
      d.accounts_added.size() + d.accounts_removed.size() + d.accounts_changed.size();
  if (accounts != 0) {
    s += "; accounts: " + std::to_string(d.accounts_added.size()) + " added, " +
         std::to_string(d.accounts_removed.size()) + " removed, " +
         std::to_string(d.accounts_changed.size()) + " changed";
  }
  if (!d.regions_added.empty() || !d.regions_removed.empty()) {
    s += "; regions: " + std::to_string(d.regions_added.size()) + " added, " +
         std::to_string(d.regions_removed.size()) + " removed";
  }
  std::map<std::string, std::size_t> per_section;  // by the section's key
  std::vector<std::string> order;
  for (const Change& c : d.sections) {
    const std::string section = c.path.substr(0, c.path.find('.'));
    if (per_section[section]++ == 0) order.push_back(section);
  }
  for (const std::string& section : order) {
    s += "; " + section + ": " + counted(per_section[section], "change", "changes");
  }
  return s;
}

namespace {

std::string place_text(const Place& p) {
  return "account " + p.account + ", region " + p.region;
}

// Like a plan: accounts and regions, then the VPCs grouped by the account and region that hold
// them (NEW's place; OLD's for a removed one), then the other sections, then the summary.
}  // namespace

std::string diff_text(const Differences& d) {
  std::ostringstream out;
  std::vector<std::string> accounts;
  for (const auto& a : d.accounts_added) accounts.push_back("+ account " + a.account);
  for (const auto& a : d.accounts_removed) accounts.push_back("- account " + a.account);
  for (const auto& a : d.accounts_changed) {
    for (const Change& c : a.changes)
      accounts.push_back("~ account " + a.account + " " + change_text(c));
  }
  for (const auto& r : d.regions_added) accounts.push_back("+ " + place_text(r.place));
  for (const auto& r : d.regions_removed) accounts.push_back("- " + place_text(r.place));
  if (!accounts.empty()) out << "accounts:\n";
  for (const auto& line : accounts) out << "  " << line << "\n";

  std::vector<Place> order;
  std::map<Place, std::vector<std::string>> groups;
  const auto add = [&](const Place& p, std::string line) {
    auto& lines = groups[p];
    if (lines.empty()) order.push_back(p);
    lines.push_back(std::move(line));
  };
  for (const auto& v : d.added) add(v.to, "+ " + v.id);
  for (const auto& v : d.moved) {
    add(v.to, "→ " + v.id + " (from " + place_text(v.from) + ")");
    for (const Change& c : v.changes) add(v.to, "~ " + v.id + " " + change_text(c));
  }
  for (const auto& v : d.changed) {
    for (const Change& c : v.changes) add(v.to, "~ " + v.id + " " + change_text(c));
  }
  for (const auto& v : d.removed) add(v.from, "- " + v.id);
  for (const Place& p : order) {
    out << place_text(p) << ":\n";
    for (const auto& line : groups[p]) out << "  " << line << "\n";
  }

  if (!d.sections.empty()) out << "sections:\n";
  for (const Change& c : d.sections) out << "  ~ " << change_text(c) << "\n";
  out << summary(d) << "\n";
  return out.str();
}

namespace {

// A markdown table cell, a value in a code span when `code` (nothing shown for no value).
std::string cell(const std::string& text, bool code) {
  return markdown::cell(code && !text.empty() ? markdown::code(text) : text);
}

std::string change_cell(const Change& c) {
  return cell(c.path, true) + ": " + cell(shown(c.old_value), true) + " → " +
         cell(shown(c.new_value), true);
}

// A table per account (the account that holds a VPC in NEW; in OLD for a removed one), then
// the other sections, then the summary: for a pull request's description or comment.
}  // namespace

std::string diff_markdown(const Differences& d) {
  std::vector<std::string> order;
  std::map<std::string, std::vector<std::string>> tables;  // by account id
  const auto row = [&](const std::string& account, const char* mark, const std::string& region,
                       const std::string& vpc, const std::string& what) {
    auto& rows = tables[account];
    if (rows.empty()) order.push_back(account);
    rows.push_back("| " + std::string(mark) + " | " + cell(region, false) + " | " +
                   cell(vpc, true) + " | " + what + " |");
  };
  for (const auto& a : d.accounts_added) row(a.account, "+", "", "", "account added");
  for (const auto& a : d.accounts_removed) row(a.account, "-", "", "", "account removed");
  for (const auto& a : d.accounts_changed) {
    for (const Change& c : a.changes) row(a.account, "~", "", "", change_cell(c));
  }
  for (const auto& r : d.regions_added)
    row(r.place.account, "+", r.place.region, "", "region added");
  for (const auto& r : d.regions_removed)
    row(r.place.account, "-", r.place.region, "", "region removed");
  for (const auto& v : d.added) row(v.to.account, "+", v.to.region, v.id, "added");
  for (const auto& v : d.moved) {
    row(v.to.account, "→", v.to.region, v.id, "from " + cell(place_text(v.from), false));
    for (const Change& c : v.changes) row(v.to.account, "~", v.to.region, v.id, change_cell(c));
  }
  for (const auto& v : d.changed) {
    for (const Change& c : v.changes) row(v.to.account, "~", v.to.region, v.id, change_cell(c));
  }
  for (const auto& v : d.removed) row(v.from.account, "-", v.from.region, v.id, "removed");
  std::ostringstream out;
  for (const std::string& account : order) {
    out << "### account " << cell(account, false) << "\n\n|   | region | VPC | change |\n"
        << "|---|---|---|---|\n";
    for (const std::string& line : tables[account]) out << line << "\n";
    out << "\n";
  }
  if (!d.sections.empty()) out << "### sections\n\n|   | change |\n|---|---|\n";
  for (const Change& c : d.sections) out << "| ~ | " << change_cell(c) << " |\n";
  if (!d.sections.empty()) out << "\n";
  out << "**" << summary(d) << "**\n";
  return out.str();
}

namespace {

// The line of the node at a key path in the tree, or of the deepest one on the way there (a key
// NEW leaves out is shown at its record); 0 when there is none.
std::uint32_t line_at(const yaml::Node& root, const std::string& path) {
  const yaml::Node* node = &root;
  std::uint32_t line = 0;
  for (std::size_t start = 0; node != nullptr && start <= path.size();) {
    line = node->mark().line;
    const std::size_t end = std::min(path.find('.', start), path.size());
    const std::string part = path.substr(start, end - start);
    start = end + 1;
    if (node->is_map()) {
      node = node->find(part);
    } else if (node->is_seq() && !part.empty() &&
               part.find_first_not_of("0123456789") == std::string::npos && part.size() < 10 &&
               std::stoul(part) < node->size()) {
      node = node->items()[std::stoul(part)];
    } else {
      node = nullptr;
    }
  }
  return node != nullptr ? node->mark().line : line;
}

}  // namespace

// One workflow notice a change, at NEW's line of it (of the nearest record NEW still has for
// what NEW lacks), and the summary as the last, at the file.
std::string diff_github(const Differences& d, const std::string& name, const std::string& text) {
  yaml::Document doc;
  try {
    doc = yaml::read_string(text, name);
  } catch (const std::exception&) {  // already read once by the load: kept for safety only
  }
  std::ostringstream out;
  const auto notice = [&](const std::string& path, const std::string& message) {
    const std::uint32_t line = path.empty() ? 0 : line_at(doc.root(), path);
    out << "::notice file=" << report::escape_property(name);
    if (line != 0) out << ",line=" << line;
    out << "::" << report::escape_message(message) << "\n";
  };
  const auto changes = [&](const std::string& at, const std::string& what,
                           const std::vector<Change>& list) {
    for (const Change& c : list) notice(at + "." + c.path, what + " " + change_text(c));
  };
  for (const auto& v : d.added) notice(v.at, "VPC " + v.id + " added");
  for (const auto& v : d.moved) notice(v.at, "VPC " + v.id + " moved from " + place_text(v.from));
  for (const auto& v : d.moved) changes(v.at, v.id, v.changes);
  for (const auto& v : d.changed) changes(v.at, v.id, v.changes);
  for (const auto& v : d.removed)
    notice(v.at, "VPC " + v.id + " removed (" + place_text(v.from) + ")");
  for (const auto& a : d.accounts_added) notice(a.at, "account " + a.account + " added");
  for (const auto& a : d.accounts_removed) notice(a.at, "account " + a.account + " removed");
  for (const auto& a : d.accounts_changed) changes(a.at, "account " + a.account, a.changes);
  for (const auto& r : d.regions_added) notice(r.at, place_text(r.place) + " added");
  for (const auto& r : d.regions_removed) notice(r.at, place_text(r.place) + " removed");
  for (const Change& c : d.sections) notice(c.path, change_text(c));
  notice("", summary(d));
  return out.str();
}

namespace {

J changes_json(const std::vector<Change>& changes) {
  J out = J::array();
  for (const Change& c : changes)
    out.push_back({{"path", c.path}, {"old", c.old_value}, {"new", c.new_value}});
  return out;
}

J place_json(const Place& p) {
  return {{"account_id", p.account}, {"region", p.region}};
}

J vpcs_json(const std::vector<VpcChange>& vpcs, bool from, bool to, bool value) {
  J out = J::array();
  for (const VpcChange& v : vpcs) {
    J entry = {{"vpc_id", v.id}};
    if (from) entry["from"] = place_json(v.from);
    if (to) entry["to"] = place_json(v.to);
    if (value) entry["value"] = vpc_json(*v.value);
    if (!value) entry["changes"] = changes_json(v.changes);
    out.push_back(std::move(entry));
  }
  return out;
}

J ids(const std::vector<AccountChange>& accounts) {
  J out = J::array();
  for (const auto& a : accounts) out.push_back(a.account);
  return out;
}

}  // namespace

J diff_json(const Differences& d) {
  J regions_added = J::array(), regions_removed = J::array(), accounts_changed = J::array();
  for (const auto& r : d.regions_added) regions_added.push_back(place_json(r.place));
  for (const auto& r : d.regions_removed) regions_removed.push_back(place_json(r.place));
  for (const auto& a : d.accounts_changed) {
    accounts_changed.push_back({{"account_id", a.account}, {"changes", changes_json(a.changes)}});
  }
  return {
      {"equal", d.empty()},
      {"vpcs",
       {{"added", vpcs_json(d.added, false, true, true)},
        {"removed", vpcs_json(d.removed, true, false, true)},
        {"moved", vpcs_json(d.moved, true, true, false)},
        {"changed", vpcs_json(d.changed, false, true, false)}}},
      {"accounts",
       {{"added", ids(d.accounts_added)},
        {"removed", ids(d.accounts_removed)},
        {"changed", std::move(accounts_changed)}}},
      {"regions", {{"added", std::move(regions_added)}, {"removed", std::move(regions_removed)}}},
      {"sections", changes_json(d.sections)},
      {"summary", summary(d)}};
}

}  // namespace tarnwick::cli
