// Help for the operator beside a fault's message: what was probably meant, or why a value is
// wrong. Every function returns the empty string when it has nothing useful to say.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>

namespace tarnwick::core::hints {

// Edits (insertion, deletion, substitution, swap of neighbours) between two texts.
std::size_t edit_distance(std::string_view a, std::string_view b);

// The candidate closest to `given` (letter case ignored), when it is close enough to be a slip
// rather than another word; empty when none is.
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

// Why a text is no IPv4 address or network: "octet 256 is over 255", "prefix length 33 is over
// 32", "it has 5 octets; an address has 4".
std::string ipv4_address_problem(std::string_view text);
std::string ipv4_network_problem(std::string_view text);

// "it has 60 characters"
std::string length_of(std::size_t characters);

// "`what` needs `a`, `b` and `c`" (`what` as given: "`corvane`", "the document")
std::string needs(std::string_view what, std::span<const std::string_view> keys);

}  // namespace tarnwick::core::hints
