// Pieces of scalar resolution shared by resolver*.cpp (private to the yaml library).
#pragma once

#include <string_view>

#include "tarnwick/yaml/resolver.hpp"

namespace tarnwick::yaml::detail {

// Hand-written matchers: scalars are resolved once per node of documents with millions of nodes,
// so no regex engine. Each matcher mirrors one alternative of the YAML 1.1 implicit patterns.

inline bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
inline bool is_sign(char c) {
  return c == '-' || c == '+';
}
inline char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

inline bool equals_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
}

// Integers and floats (resolver_numbers.cpp).

enum class IntForm { None, Binary, Octal, Decimal, Hex, Sexagesimal };

IntForm match_int(std::string_view s);
ResolvedScalar construct_int(std::string_view s, IntForm form);

bool match_float(std::string_view s);
// What an explicit !!float accepts beyond the implicit forms: integers, exponents without sign or
// dot, base 60 without fraction, and .inf/.nan in any case with an optional sign.
bool match_float_tagged(std::string_view s);
ResolvedScalar construct_float(std::string_view s);

// Timestamps (resolver_timestamp.cpp).

// The timestamp forms; `strict` is the implicit pattern (a date alone needs two-digit month and
// day), otherwise the constructor's. Sets r.error for a well-formed text naming no moment.
bool match_timestamp(std::string_view s, bool strict, ResolvedScalar& r);

}  // namespace tarnwick::yaml::detail
