#include "cli/diff.hpp"

#include <algorithm>
#include <array>
#include <iostream>
#include <map>
#include <sstream>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/reports.hpp"
#include "report/concise_reporter.hpp"
#include "report/github_reporter.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::cli {

namespace {

using J = nlohmann::ordered_json;

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

struct Change {
  std::string path;
  J old_value;
  J new_value;
};

// Two values of the key `key`, as the rows dumped them, compared field by field: a mapping is
// entered (one key path per change), every other value compared whole.
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

// A mapping without some of its keys (those compared on their own).
J without(const J& object, std::initializer_list<std::string_view> keys) {
  J out = J::object();
  for (const auto& [k, v] : object.items()) {
    if (std::find(keys.begin(), keys.end(), k) == keys.end()) out[k] = v;
  }
  return out;
}

struct Place {
  std::string account;
  std::string region;
  friend auto operator<=>(const Place&, const Place&) = default;
};

struct Vpc {
  std::string id;
  Place place;
  const J* value;
  std::string at;  // its key path, account_info.I.regions.J.vpcs.K
};

struct VpcChange {
  std::string id;
  Place from;  // removed, moved, changed: where OLD has it
  Place to;    // added, moved, changed: where NEW has it
  const J* value = nullptr;
  std::vector<Change> changes;
  std::string at;  // NEW's key path of it (empty for a removed one)
};

struct AccountChange {
  std::string account;
  std::vector<Change> changes;
};

struct Differences {
  std::vector<VpcChange> added, removed, moved, changed;
  std::vector<std::string> accounts_added, accounts_removed;
  std::vector<AccountChange> accounts_changed;
  std::vector<Place> regions_added, regions_removed;
  std::vector<Change> sections;

  bool empty() const {
    return added.empty() && removed.empty() && moved.empty() && changed.empty() &&
           accounts_added.empty() && accounts_removed.empty() && accounts_changed.empty() &&
           regions_added.empty() && regions_removed.empty() && sections.empty();
  }
};

// Every VPC of a dumped document in document order, and where each id is (an id written twice
// keeps each place: the k-th of OLD is matched with the k-th of NEW, nothing is dropped).
struct VpcIndex {
  std::vector<Vpc> all;
  std::unordered_map<std::string, std::vector<const Vpc*>> by_id;

  explicit VpcIndex(const J& doc) {
    const J& accounts = doc.at("account_info");
    for (std::size_t i = 0; i < accounts.size(); ++i) {
      const J& account = accounts[i];
      for (std::size_t j = 0; j < account.at("regions").size(); ++j) {
        const J& region = account.at("regions")[j];
        for (std::size_t k = 0; k < region.at("vpcs").size(); ++k) {
          const J& vpc = region.at("vpcs")[k];
          all.push_back({vpc.at("vpc_id").get<std::string>(),
                         {account.at("account_id").get<std::string>(),
                          region.at("region").get<std::string>()},
                         &vpc,
                         "account_info." + std::to_string(i) + ".regions." + std::to_string(j) +
                             ".vpcs." + std::to_string(k)});
        }
      }
    }
    for (const Vpc& v : all) by_id[v.id].push_back(&v);
  }
};

void compare_vpcs(const J& old_doc, const J& new_doc, Differences& d) {
  const VpcIndex before(old_doc), after(new_doc);
  std::unordered_map<std::string, std::size_t> seen;
  for (const Vpc& v : after.all) {
    const std::size_t k = seen[v.id]++;
    const auto it = before.by_id.find(v.id);
    if (it == before.by_id.end() || it->second.size() <= k) {
      d.added.push_back({v.id, {}, v.place, v.value, {}, v.at});
      continue;
    }
    const Vpc& was = *it->second[k];
    VpcChange c{v.id, was.place, v.place, v.value, {}, v.at};
    compare("", "", *was.value, *v.value, c.changes);
    if (was.place != v.place) {
      d.moved.push_back(std::move(c));
    } else if (!c.changes.empty()) {
      d.changed.push_back(std::move(c));
    }
  }
  seen.clear();
  for (const Vpc& v : before.all) {
    const std::size_t k = seen[v.id]++;
    const auto it = after.by_id.find(v.id);
    if (it == after.by_id.end() || it->second.size() <= k) {
      d.removed.push_back({v.id, v.place, {}, v.value, {}, {}});
    }
  }
}

// Accounts by account_id (the k-th of an id written twice with the k-th), their own fields
// compared; regions by name within their account, as a multiset of places.
void compare_accounts(const J& old_doc, const J& new_doc, Differences& d) {
  std::map<std::string, std::vector<const J*>> before, after;
  std::map<Place, int> regions;  // NEW's count minus OLD's
  for (const J& a : old_doc.at("account_info")) {
    before[a.at("account_id").get<std::string>()].push_back(&a);
    for (const J& r : a.at("regions"))
      regions[{a.at("account_id").get<std::string>(), r.at("region").get<std::string>()}]--;
  }
  for (const J& a : new_doc.at("account_info")) {
    after[a.at("account_id").get<std::string>()].push_back(&a);
    for (const J& r : a.at("regions"))
      regions[{a.at("account_id").get<std::string>(), r.at("region").get<std::string>()}]++;
  }
  for (const auto& [id, news] : after) {
    const auto it = before.find(id);
    const std::size_t olds = it == before.end() ? 0 : it->second.size();
    for (std::size_t k = 0; k < news.size(); ++k) {
      if (k >= olds) {
        d.accounts_added.push_back(id);
        continue;
      }
      AccountChange c{id, {}};
      compare("", "", without(*it->second[k], {"regions"}), without(*news[k], {"regions"}),
              c.changes);
      if (!c.changes.empty()) d.accounts_changed.push_back(std::move(c));
    }
  }
  for (const auto& [id, olds] : before) {
    const auto it = after.find(id);
    const std::size_t news = it == after.end() ? 0 : it->second.size();
    for (std::size_t k = news; k < olds.size(); ++k) d.accounts_removed.push_back(id);
  }
  for (const auto& [place, n] : regions) {
    for (int i = 0; i < n; ++i) d.regions_added.push_back(place);
    for (int i = 0; i > n; --i) d.regions_removed.push_back(place);
  }
}

Differences differences(const J& old_doc, const J& new_doc) {
  Differences d;
  compare_vpcs(old_doc, new_doc, d);
  compare_accounts(old_doc, new_doc, d);
  compare("", "", without(old_doc, {"account_info"}), without(new_doc, {"account_info"}),
          d.sections);
  return d;
}

// ---------------------------------------------------------------------------------------------
// Output.

std::string shown(const J& value) {
  return value.dump(-1, ' ', false, J::error_handler_t::replace);
}

std::string change_text(const Change& c) {
  return c.path + ": " + shown(c.old_value) + " → " + shown(c.new_value);
}

std::string count(std::size_t n, const char* one, const char* many) {
  return std::to_string(n) + " " + (n == 1 ? one : many);
}

// One line a kind of change: "3 VPCs added, 1 removed, 2 moved, 5 changed; config: 1 change".
std::string summary(const Differences& d) {
  if (d.empty()) return "no differences";
  std::string s = count(d.added.size(), "VPC", "VPCs") + " added, " +
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
    s += "; " + section + ": " + count(per_section[section], "change", "changes");
  }
  return s;
}

std::string place_text(const Place& p) {
  return "account " + p.account + ", region " + p.region;
}

// Like a plan: accounts and regions, then the VPCs grouped by the account and region that hold
// them (NEW's place; OLD's for a removed one), then the other sections, then the summary.
std::string text(const Differences& d) {
  std::ostringstream out;
  std::vector<std::string> accounts;
  for (const auto& id : d.accounts_added) accounts.push_back("+ account " + id);
  for (const auto& id : d.accounts_removed) accounts.push_back("- account " + id);
  for (const auto& a : d.accounts_changed) {
    for (const Change& c : a.changes)
      accounts.push_back("~ account " + a.account + " " + change_text(c));
  }
  for (const Place& p : d.regions_added) accounts.push_back("+ " + place_text(p));
  for (const Place& p : d.regions_removed) accounts.push_back("- " + place_text(p));
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

// A markdown table cell: a value in a code span, its pipes escaped so the table keeps its
// columns (a backtick in a value widens the span's fence instead).
std::string cell(const std::string& text, bool code) {
  std::string out;
  for (char ch : text) {
    if (ch == '|') out += '\\';
    out += ch;
  }
  if (!code || text.empty()) return out;
  const std::string fence = text.find('`') == std::string::npos ? "`" : "`` ";
  return fence + out + (fence == "`" ? "`" : " ``");
}

std::string change_cell(const Change& c) {
  return cell(c.path, true) + ": " + cell(shown(c.old_value), true) + " → " +
         cell(shown(c.new_value), true);
}

// A table per account (the account that holds a VPC in NEW; in OLD for a removed one), then
// the other sections, then the summary: for a pull request's description or comment.
std::string markdown(const Differences& d) {
  std::vector<std::string> order;
  std::map<std::string, std::vector<std::string>> tables;  // by account id
  const auto row = [&](const std::string& account, const char* mark, const std::string& region,
                       const std::string& vpc, const std::string& what) {
    auto& rows = tables[account];
    if (rows.empty()) order.push_back(account);
    rows.push_back("| " + std::string(mark) + " | " + cell(region, false) + " | " +
                   cell(vpc, true) + " | " + what + " |");
  };
  for (const auto& id : d.accounts_added) row(id, "+", "", "", "account added");
  for (const auto& id : d.accounts_removed) row(id, "-", "", "", "account removed");
  for (const auto& a : d.accounts_changed) {
    for (const Change& c : a.changes) row(a.account, "~", "", "", change_cell(c));
  }
  for (const Place& p : d.regions_added) row(p.account, "+", p.region, "", "region added");
  for (const Place& p : d.regions_removed) row(p.account, "-", p.region, "", "region removed");
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

// One workflow notice a change, at NEW's line for what NEW holds (a removed VPC, account or
// region at the file), and the summary as the last.
std::string github(const Differences& d, const std::string& name, const std::string& text) {
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
  for (const auto& v : d.added) notice(v.at, "VPC " + v.id + " added");
  for (const auto& v : d.moved) notice(v.at, "VPC " + v.id + " moved from " + place_text(v.from));
  for (const auto* list : {&d.moved, &d.changed}) {
    for (const auto& v : *list) {
      for (const Change& c : v.changes) notice(v.at + "." + c.path, v.id + " " + change_text(c));
    }
  }
  for (const auto& v : d.removed)
    notice("", "VPC " + v.id + " removed (" + place_text(v.from) + ")");
  for (const auto& id : d.accounts_added) notice("", "account " + id + " added");
  for (const auto& id : d.accounts_removed) notice("", "account " + id + " removed");
  for (const auto& a : d.accounts_changed) {
    for (const Change& c : a.changes) notice("", "account " + a.account + " " + change_text(c));
  }
  for (const Place& p : d.regions_added) notice("", place_text(p) + " added");
  for (const Place& p : d.regions_removed) notice("", place_text(p) + " removed");
  for (const Change& c : d.sections) notice(c.path, change_text(c));
  notice("", summary(d));
  return out.str();
}

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
    if (value) entry["value"] = *v.value;
    if (!value) entry["changes"] = changes_json(v.changes);
    out.push_back(std::move(entry));
  }
  return out;
}

J json(const Differences& d) {
  J regions_added = J::array(), regions_removed = J::array(), accounts_changed = J::array();
  for (const Place& p : d.regions_added) regions_added.push_back(place_json(p));
  for (const Place& p : d.regions_removed) regions_removed.push_back(place_json(p));
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
       {{"added", d.accounts_added},
        {"removed", d.accounts_removed},
        {"changed", std::move(accounts_changed)}}},
      {"regions", {{"added", std::move(regions_added)}, {"removed", std::move(regions_removed)}}},
      {"sections", changes_json(d.sections)},
      {"summary", summary(d)}};
}

// ---------------------------------------------------------------------------------------------
// Loading.

// A document that does not pass the check, said as check says its first fault, naming which.
struct Unchecked {
  std::string line;
};

// The document as dumped; its text into `text` when asked for (the file is not read twice).
J loaded(const std::string& file, const char* which, const DiffOptions& opt,
         std::string* text = nullptr) {
  const core::Source source =
      file == "-" ? core::Source::standard_input() : core::Source::file(file);
  core::LoadResult r = core::load(
      source,
      {.discovery_only = opt.discovery_only, .mode_comment = true, .keep_text = text != nullptr});
  if (r.fatal) throw Unchecked{std::string(which) + ": " + fatal_line(r)};
  if (!r.config && r.faults().empty())
    throw Unchecked{std::string(which) + ": " + r.name + ": not checked"};
  if (!r.config) {
    std::ostringstream concise;
    report::ConciseReporter(concise).report({r.name, r.text, r.faults(), {}});
    std::string first = concise.str().substr(0, concise.str().find('\n'));
    const std::size_t more = r.faults().size() - 1;
    if (more != 0) first += " (and " + count(more, "more fault", "more faults") + ")";
    throw Unchecked{std::string(which) + ": " + first};
  }
  if (text != nullptr) *text = std::move(r.text);
  return core::dump_to_dict(*r.config);
}

}  // namespace

CLI::App* add_diff(CLI::App& app, DiffOptions& opt) {
  CLI::App* diff = app.add_subcommand(
      "diff",
      "Compare two migration documents as loaded records (defaults applied, values in their "
      "typed form): VPCs added, removed, moved (another account or region) or changed, by "
      "vpc_id; accounts, regions and every other section field by field. Exit 0 equal, 1 "
      "different, 2 when either document fails the check.");
  diff->add_option("OLD", opt.old_file, "the document before ('-' reads standard input)")
      ->required();
  diff->add_option("NEW", opt.new_file, "the document after ('-' reads standard input)")
      ->required();
  diff->add_option("GIT_ARGS", opt.git_rest,
                   "as Git's GIT_EXTERNAL_DIFF runs it: diff PATH OLD-FILE OLD-HEX OLD-MODE "
                   "NEW-FILE NEW-HEX NEW-MODE");
  diff->add_flag("--discovery-only", opt.discovery_only,
                 "relax the rules that only matter for a migration (a document's mode comment "
                 "wins)");
  diff->add_option(
          "--format", opt.format,
          "text (default, like a plan), json (stable, for tools) or markdown (a table "
          "per account, for a pull request) or github (notices at NEW's lines, for a workflow)")
      ->check(CLI::IsMember({"text", "json", "markdown", "github"}));
  return diff;
}

// Git names a side that does not exist (a file added or deleted) /dev/null: said in one line,
// there is no document to compare it with.
bool one_side_only(const std::string& path, const std::string& old_file,
                   const std::string& new_file) {
  if (old_file != "/dev/null" && new_file != "/dev/null") return false;
  std::cout << "tarnwick-config diff " << path << ": "
            << (old_file == "/dev/null" ? "a new document" : "document deleted") << "\n";
  return true;
}

int run_diff(const DiffOptions& opt) {
  const bool git = opt.git_rest.size() == 5;
  if (!git && !opt.git_rest.empty()) {
    std::cerr << "tarnwick-config: error: diff takes OLD NEW, or the seven arguments Git gives "
                 "an external diff\n";
    return 2;
  }
  const std::string& old_file = git ? opt.new_file : opt.old_file;
  const std::string& new_file = git ? opt.git_rest[2] : opt.new_file;
  if (old_file == "-" && new_file == "-") {
    std::cerr << "tarnwick-config: error: OLD and NEW cannot both be standard input\n";
    return 2;
  }
  if (git && one_side_only(opt.old_file, old_file, new_file)) return 0;
  J before, after;
  std::string new_text;  // for --format github, which points at NEW's lines
  try {
    before = loaded(old_file, "OLD", opt);
    after = loaded(new_file, "NEW", opt, opt.format == "github" ? &new_text : nullptr);
  } catch (const Unchecked& u) {
    std::cerr << "tarnwick-config: error: " << u.line << "\n";
    return 2;
  }
  const Differences d = differences(before, after);
  if (git && opt.format == "text") std::cout << "tarnwick-config diff " << opt.old_file << "\n";
  if (opt.format == "json") {
    std::cout << json(d).dump(2, ' ', false, J::error_handler_t::replace) << "\n";
  } else if (opt.format == "github") {
    std::cout << github(d, new_file == "-" ? "<stdin>" : new_file, new_text);
  } else if (opt.format == "markdown") {
    std::cout << markdown(d);
  } else {
    std::cout << text(d);
  }
  return d.empty() || git ? 0 : 1;
}

}  // namespace tarnwick::cli
