// Help for the operator beside a fault's message: what was probably meant, or why a value is
// wrong. Every function returns the empty string when it has nothing useful to say.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::core::hints {

// Edits (insertion, deletion, substitution, swap of neighbours) between two texts.
std::size_t edit_distance(std::string_view a, std::string_view b);

// Every candidate at the least distance from `given` (letter case ignored), in their order, when
// that distance still reads as a slip rather than another word; empty when none is that close.
std::vector<std::string_view> closest_candidates(std::string_view given,
                                                 std::span<const std::string_view> candidates);
// The first of them: the candidate closest to `given`; empty when none is close enough.
std::string_view closest_candidate(std::string_view given,
                                   std::span<const std::string_view> candidates);
// The same as help: "did you mean `terraform_version`?".
std::string closest(std::string_view given, std::span<const std::string_view> candidates);

// The choice `given` equals but for letter case and padding; empty when none does.
std::string_view case_folded_choice(std::string_view given,
                                    std::span<const std::string_view> choices);
// The same as help: "did you mean `us-east-1`?".
std::string case_folded(std::string_view given, std::span<const std::string_view> choices);

// The help that names what was meant: "did you mean `what`?".
std::string did_you_mean(std::string_view what);
// The same for several equally likely: "did you mean `us-east-1` or `us-east-2`?".
std::string did_you_mean(std::span<const std::string_view> whats);

// What a key or a value was probably meant to be.
struct Meant {
  std::string hint;      // empty when nothing is likely
  std::string_view fix;  // the one text to write instead; empty unless exactly one is likely
};

// What an undeclared key was probably meant to be: the closest of `keys` (a fix only when one is
// closer than every other).
Meant meant_key(std::string_view given, std::span<const std::string_view> keys);
// On a missing key, when a near miss of it was written: "`vpc_idd` was written; did you mean
// `vpc_id`?".
std::string written_instead(std::string_view written, std::string_view meant);
// An undeclared key of record `record` (its table's name) that the nearest records around it
// declare, up to two levels up or down: "`crvn_cidr` is a key of a VPC
// (account_info.N.regions.N.vpcs.N)"; empty when none near does.
std::string key_elsewhere(std::string_view key, std::string_view record);

// What a value outside a fixed list of choices was probably meant to be: the choice `given`
// equals but for letter case and padding, else the closest choices (a fix only when one is closer
// than every other; a few tied ones are named in the hint alone).
Meant meant_choice(std::string_view given, std::span<const std::string_view> choices);
// An availability zone written where a region is wanted: `us-east-1a` names the region
// `us-east-1`, one of `regions`, plus a zone letter.
Meant zone_for_region(std::string_view given, std::span<const std::string_view> regions);

// A scalar written where a list is wanted, as the flow list it meant: its one item
// ("[10.0.0.0/8]"), or the items it separates with commas ("[10.0.0.1, 10.0.0.2]"), each quoted
// when it would read otherwise inside `[ ]`; empty when the text is too long to repeat or an item
// between commas is empty.
std::string flow_list(std::string_view text, bool plain);

// Why a text is no IPv4 address or network: "octet 256 is over 255", "prefix length 33 is over
// 32", "it has 5 octets; an address has 4".
std::string ipv4_address_problem(std::string_view text);
std::string ipv4_network_problem(std::string_view text);

// "it has 60 characters"
std::string length_of(std::size_t characters);

// "`what` needs `a`, `b` and `c`" (`what` as given: "`corvane`", "the document")
std::string needs(std::string_view what, std::span<const std::string_view> keys);

}  // namespace tarnwick::core::hints
