#include "tarnwick/core/hints.hpp"

#include <algorithm>
#include <vector>

#include "tarnwick/core/field_types.hpp"
#include "utf8.hpp"

namespace tarnwick::core::hints {

namespace {

// Keys and choices are short: a longer text is no slip of the keyboard, and comparing it would
// cost time quadratic in what a hostile document wrote.
constexpr std::size_t kMaxCompared = 64;

using types::all_digits;
using utf8::ascii_lower;

std::string_view trimmed(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t\r\n");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r\n") - begin + 1);
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

std::string_view closest_candidate(std::string_view given,
                                   std::span<const std::string_view> candidates) {
  if (given.empty() || given.size() > kMaxCompared) return {};
  const std::string g = ascii_lower(given);
  std::string_view best;
  std::size_t best_edits = allowed_edits(given.size()) + 1;
  for (std::string_view candidate : candidates) {
    const std::size_t gap =
        candidate.size() > g.size() ? candidate.size() - g.size() : g.size() - candidate.size();
    if (gap >= best_edits) continue;
    const std::size_t edits = edit_distance(g, ascii_lower(candidate));
    if (edits < best_edits && edits < candidate.size()) {
      best = candidate;
      best_edits = edits;
    }
  }
  return best;
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
  std::string out = std::string(what) + " needs ";
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (i != 0) out += i + 1 == keys.size() ? " and " : ", ";
    out += "`" + std::string(keys[i]) + "`";
  }
  return out;
}

}  // namespace tarnwick::core::hints
