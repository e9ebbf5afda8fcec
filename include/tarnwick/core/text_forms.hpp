// Exact text forms that messages and stored values are made of.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// Whether the text is one or more ASCII digits.
inline bool all_digits(std::string_view s) {
  if (s.empty()) return false;
  for (char c : s) {
    if (c < '0' || c > '9') return false;
  }
  return true;
}

// A string in Python's literal notation: single quotes unless the text holds a single quote and
// no double quote; backslashes, the chosen quote and non-printable characters escaped.
std::string python_repr(std::string_view text);

// A node's parsed value in Python's literal notation, as the host tool would print it:
// 'text', True/False, None, 42, 1.5, [a, b], {'k': v}. Integers are shown by value (0x1F is 31),
// dates as datetime.date(2001, 12, 14).
std::string python_repr(const yaml::Node& node);

// A float as Python's repr writes it: shortest round-trip digits, "1.0", "1e-05", "1e+16",
// "inf", "nan".
std::string python_float_repr(double value);

// A list of strings as JSON text, ASCII only: ["abc", "dec"], items separated by a comma and one
// blank; characters outside blank..tilde as \uXXXX (UTF-16 code units, lower-case hex).
std::string json_string_list(const std::vector<std::string>& items);

}  // namespace tarnwick::core
