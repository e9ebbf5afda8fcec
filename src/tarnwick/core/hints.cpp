#include "tarnwick/core/hints.hpp"

#include <algorithm>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/core/field_catalog.hpp"
#include "tarnwick/core/text_forms.hpp"
#include "utf8.hpp"

namespace tarnwick::core::hints {

namespace {

// Keys and choices are short: a longer text is no slip of the keyboard, and comparing it would
// cost time quadratic in what a hostile document wrote.
constexpr std::size_t kMaxCompared = 64;

using utf8::ascii_lower;

std::string_view trimmed(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
}

// More choices tied at the least distance than this say nothing about which was meant.
constexpr std::size_t kMaxTied = 3;
// A value longer than this is not repeated in a hint.
constexpr std::size_t kMaxRepeated = 200;

// "`a`, `b` and `c`" (or "or")
std::string listed(std::span<const std::string_view> items, std::string_view last_joint) {
  std::string out;
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (i != 0) out += i + 1 == items.size() ? last_joint : ", ";
    out += "`" + std::string(items[i]) + "`";
  }
  return out;
}

// How many edits still read as a slip: one in a short key, up to three in a long one.
std::size_t allowed_edits(std::size_t length) {
  return length <= 3 ? 1 : length <= 6 ? 2 : 3;
}

// What is wrong with the dotted quad of an address or a mask; empty when nothing is.
std::string quad_problem(std::string_view text) {
  if (text.empty()) return "the address is empty";
  if (text.find_first_of(" \t") != std::string_view::npos) return "it holds a blank";
  std::vector<std::string_view> octets;
  for (std::size_t start = 0;;) {
    const std::size_t dot = text.find('.', start);
    octets.push_back(text.substr(start, dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  if (octets.size() != 4) {
    return "it has " + std::to_string(octets.size()) + " octet" + (octets.size() == 1 ? "" : "s") +
           "; an address has 4";
  }
  for (std::string_view octet : octets) {
    const std::string shown(octet.substr(0, kMaxCompared));
    if (octet.empty()) return "an octet is empty";
    if (!all_digits(octet)) return "octet `" + shown + "` is not a decimal number";
    if (octet.size() > 3 || std::stoi(std::string(octet)) > 255) {
      return "octet " + shown + " is over 255";
    }
    if (octet.size() > 1 && octet[0] == '0') return "octet " + shown + " has a leading zero";
  }
  return {};
}

std::string mask_problem(std::string_view mask) {
  if (mask.empty()) return "the prefix length after `/` is missing";
  if (mask.find('/') != std::string_view::npos) return "it has more than one `/`";
  if (all_digits(mask)) {
    // Any number of leading zeros is taken; only the value counts.
    const std::string_view digits = mask.substr(std::min(mask.find_first_not_of('0'), mask.size()));
    if (digits.size() > 2 || (!digits.empty() && std::stoi(std::string(digits)) > 32)) {
      return "prefix length " + std::string(digits.substr(0, kMaxCompared)) + " is over 32";
    }
    return {};
  }
  if (mask.find('.') == std::string_view::npos) {
    return "`" + std::string(mask.substr(0, kMaxCompared)) + "` is not a prefix length";
  }
  if (std::string problem = quad_problem(mask); !problem.empty()) return "mask: " + problem;
  return "mask " + std::string(mask) + " is neither a netmask nor a hostmask";
}

// How far from a record an undeclared key's own record is looked for.
constexpr int kMaxLevelsAway = 2;

// A record's place in the document, and the records one level up or down from it.
struct Place {
  const RecordEntry* record;
  std::string path;  // from the root, a list's items as N: "account_info.N.regions.N"
  bool item;         // the record is a list's item
  std::vector<std::size_t> near;
};

// Every record of the document once, from the field catalog, nearest the root first. A record
// reached again (from a second parent, or itself) keeps its first place and gains the link.
std::vector<Place> make_places() {
  std::vector<Place> all{{&document_catalog(), "", false, {}}};
  for (std::size_t at = 0; at < all.size(); ++at) {
    for (const FieldEntry& f : all[at].record->fields) {
      if (f.record == nullptr) continue;
      const auto known = std::find_if(all.begin(), all.end(),
                                      [&](const Place& p) { return p.record == f.record; });
      if (known != all.end()) {
        const auto again = static_cast<std::size_t>(known - all.begin());
        if (again != at) {
          all[at].near.push_back(again);
          all[again].near.push_back(at);
        }
        continue;
      }
      std::string path = all[at].path;
      path += (path.empty() ? "" : ".") + std::string(f.key);
      if (f.list) path += ".N";
      if (f.keyed) path += ".KEY";
      all.push_back({f.record, std::move(path), f.list, {at}});
      all[at].near.push_back(all.size() - 1);
    }
  }
  return all;
}

const std::vector<Place>& places() {
  static const std::vector<Place> all = make_places();
  return all;
}

// A record as an operator calls it.
std::string named(const Place& p) {
  static constexpr std::pair<std::string_view, std::string_view> kWords[] = {
      {"AccountInfo", "an account"}, {"Region", "a region"}, {"VPCConfig", "a VPC"}};
  if (p.path.empty()) return "the document's top level";
  for (const auto& [name, word] : kWords) {
    if (p.record->name == name) return std::string(word) + " (" + p.path + ")";
  }
  if (p.item) return "an item of `" + p.path.substr(0, p.path.rfind('.')) + "` (" + p.path + ")";
  return "`" + p.path + "`";
}

}  // namespace

std::size_t edit_distance(std::string_view a, std::string_view b) {
  // Optimal string alignment: three rows of the table suffice.
  std::vector<std::size_t> before(b.size() + 1), prev(b.size() + 1), row(b.size() + 1);
  for (std::size_t j = 0; j <= b.size(); ++j) prev[j] = j;
  for (std::size_t i = 1; i <= a.size(); ++i) {
    row[0] = i;
    for (std::size_t j = 1; j <= b.size(); ++j) {
      const std::size_t cost = a[i - 1] == b[j - 1] ? 0 : 1;
      row[j] = std::min({prev[j] + 1, row[j - 1] + 1, prev[j - 1] + cost});
      if (i > 1 && j > 1 && a[i - 1] == b[j - 2] && a[i - 2] == b[j - 1]) {
        row[j] = std::min(row[j], before[j - 2] + 1);
      }
    }
    std::swap(before, prev);
    std::swap(prev, row);
  }
  return prev[b.size()];
}

std::string did_you_mean(std::string_view what) {
  return "did you mean `" + std::string(what) + "`?";
}

std::string did_you_mean(std::span<const std::string_view> whats) {
  return "did you mean " + listed(whats, " or ") + "?";
}

Meant meant_key(std::string_view given, std::span<const std::string_view> keys) {
  const std::vector<std::string_view> best = closest_candidates(given, keys);
  if (best.size() == 1) return {did_you_mean(best.front()), best.front()};
  // Two or three equally close are still worth naming; more are a guess.
  if (best.size() > 1 && best.size() <= kMaxTied) return {did_you_mean(best), {}};
  return {};
}

Meant meant_choice(std::string_view given, std::span<const std::string_view> choices) {
  if (const std::string_view folded = case_folded_choice(given, choices); !folded.empty()) {
    return {did_you_mean(folded), folded};
  }
  return meant_key(trimmed(given), choices);
}

std::string written_instead(std::string_view written, std::string_view meant) {
  return "`" + std::string(written) + "` was written; " + did_you_mean(meant);
}

std::string key_elsewhere(std::string_view key, std::string_view record) {
  if (key.empty() || key.size() > kMaxCompared) return {};
  const std::vector<Place>& all = places();
  const auto here = std::find_if(all.begin(), all.end(),
                                 [&](const Place& p) { return p.record->name == record; });
  if (here == all.end()) return {};
  // Breadth first over parents and nested records: the nearest records that declare the key.
  std::vector<std::size_t> level{static_cast<std::size_t>(here - all.begin())};
  std::vector<bool> seen(all.size());
  seen[level[0]] = true;
  for (int depth = 0; depth < kMaxLevelsAway && !level.empty(); ++depth) {
    std::vector<std::size_t> next;
    std::vector<std::string> found;
    for (std::size_t at : level) {
      for (std::size_t near : all[at].near) {
        if (seen[near]) continue;
        seen[near] = true;
        next.push_back(near);
        if (all[near].record->find(key) != nullptr) found.push_back(named(all[near]));
      }
    }
    if (!found.empty() && found.size() <= kMaxTied) {
      std::string out = "`" + std::string(key) + "` is a key of " + found[0];
      for (std::size_t i = 1; i < found.size(); ++i) out += " or of " + found[i];
      return out;
    }
    if (!found.empty()) return {};  // declared all around: no place stands out
    level = std::move(next);
  }
  return {};
}

Meant zone_for_region(std::string_view given, std::span<const std::string_view> regions) {
  const std::string_view zone = trimmed(given);
  if (zone.size() < 2 || zone.size() > kMaxCompared) return {};
  const char letter = static_cast<char>(ascii_lower(zone.substr(zone.size() - 1))[0]);
  if (letter < 'a' || letter > 'z') return {};
  const std::string region = ascii_lower(zone.substr(0, zone.size() - 1));
  for (std::string_view choice : regions) {
    if (choice == region) {
      return {"`" + std::string(zone) + "` is an availability zone of `" + std::string(choice) +
                  "`; a region is wanted",
              choice};
    }
  }
  return {};
}

namespace {

// One item of a flow list as written, quoted when the text would read otherwise inside `[ ]`.
std::string flow_item(std::string_view text, bool plain) {
  // Inside [ ] a comma, a bracket or brace, ": " or " #" would change what the text means.
  const bool flow_safe = plain && !text.empty() &&
                         text.find_first_of(",[]{}") == std::string_view::npos &&
                         text.find(": ") == std::string_view::npos &&
                         text.find(" #") == std::string_view::npos && text.back() != ':';
  if (flow_safe) return std::string(text);
  // A JSON string is a YAML double-quoted scalar with the same value.
  return nlohmann::json(std::string(text)).dump();
}

}  // namespace

std::string flow_list(std::string_view text, bool plain) {
  if (text.size() > kMaxRepeated || !utf8::valid(text)) return {};
  if (text.find(',') == std::string_view::npos) return "[" + flow_item(text, plain) + "]";
  // "a, b" lists its items: one item holding the comma would be the same fault again.
  std::string list = "[";
  for (std::size_t from = 0; from <= text.size();) {
    const std::size_t comma = std::min(text.find(',', from), text.size());
    const std::string_view item = trimmed(text.substr(from, comma - from));
    if (item.empty()) return {};  // "a,,b" or "a," may mean anything
    list += (from == 0 ? "" : ", ") + flow_item(item, plain);
    from = comma + 1;
  }
  return list + "]";
}

std::vector<std::string_view> closest_candidates(std::string_view given,
                                                 std::span<const std::string_view> candidates) {
  std::vector<std::string_view> best;
  if (given.empty() || given.size() > kMaxCompared) return best;
  const std::string g = ascii_lower(given);
  std::size_t best_edits = allowed_edits(given.size());  // the most edits still taken
  for (std::string_view candidate : candidates) {
    const std::size_t gap =
        candidate.size() > g.size() ? candidate.size() - g.size() : g.size() - candidate.size();
    if (gap > best_edits) continue;
    const std::size_t edits = edit_distance(g, ascii_lower(candidate));
    // A candidate all of whose letters were replaced is another word, not a slip.
    if (edits > best_edits || edits >= candidate.size()) continue;
    if (edits < best_edits) best.clear();
    best_edits = edits;
    best.push_back(candidate);
  }
  return best;
}

std::string_view closest_candidate(std::string_view given,
                                   std::span<const std::string_view> candidates) {
  const std::vector<std::string_view> best = closest_candidates(given, candidates);
  return best.empty() ? std::string_view() : best.front();
}

std::string closest(std::string_view given, std::span<const std::string_view> candidates) {
  const std::string_view best = closest_candidate(given, candidates);
  return best.empty() ? std::string() : did_you_mean(best);
}

std::string_view case_folded_choice(std::string_view given,
                                    std::span<const std::string_view> choices) {
  if (given.size() > kMaxCompared) return {};
  const std::string g = ascii_lower(trimmed(given));
  for (std::string_view choice : choices) {
    if (choice != given && ascii_lower(choice) == g) return choice;
  }
  return {};
}

std::string case_folded(std::string_view given, std::span<const std::string_view> choices) {
  const std::string_view choice = case_folded_choice(given, choices);
  return choice.empty() ? std::string() : did_you_mean(choice);
}

std::string ipv4_address_problem(std::string_view text) {
  if (text.find('/') != std::string_view::npos) return "an address takes no `/` prefix length";
  return quad_problem(text);
}

std::string ipv4_network_problem(std::string_view text) {
  const std::size_t slash = text.find('/');
  if (std::string problem = quad_problem(text.substr(0, slash)); !problem.empty()) return problem;
  if (slash == std::string_view::npos) return {};
  return mask_problem(text.substr(slash + 1));
}

std::string length_of(std::size_t characters) {
  return "it has " + std::to_string(characters) + " characters";
}

std::string needs(std::string_view what, std::span<const std::string_view> keys) {
  return std::string(what) + " needs " + listed(keys, " and ");
}

}  // namespace tarnwick::core::hints
