// The YAML 1.1 timestamp forms: a date, optionally followed by a time and a zone.
#include <array>
#include <cstddef>

#include "resolver_detail.hpp"

namespace tarnwick::yaml::detail {
namespace {

// The fields as written; checked against the calendar only once the whole text has matched.
struct Moment {
  int year = 0, month = 0, day = 0;
  int hour = 0, minute = 0, second = 0;
  int tz_hour = 0, tz_minute = 0;
};

bool is_blank(char c) {
  return c == ' ' || c == '\t';
}

// Reads 1..max_len digits at i into out; returns the count (0 on no digit).
std::size_t read_number(std::string_view s, std::size_t i, std::size_t max_len, int& out) {
  std::size_t n = 0;
  out = 0;
  while (n < max_len && i + n < s.size() && is_digit(s[i + n])) {
    out = out * 10 + (s[i + n] - '0');
    ++n;
  }
  return n;
}

// Each read_* step below matches one piece at `i` and moves `i` past it, or returns false.

// YYYY-M{1,2}-D{1,2}; `two_digits` tells whether month and day were both written with two.
bool read_date(std::string_view s, std::size_t& i, Moment& m, bool& two_digits) {
  if (read_number(s, i, 4, m.year) != 4) return false;
  i += 4;
  if (i >= s.size() || s[i] != '-') return false;
  std::size_t n = read_number(s, ++i, 2, m.month);
  if (n == 0) return false;
  two_digits = n == 2;
  i += n;
  if (i >= s.size() || s[i] != '-') return false;
  n = read_number(s, ++i, 2, m.day);
  if (n == 0) return false;
  two_digits = two_digits && n == 2;
  i += n;
  return true;
}

// ([Tt]|[ \t]+) H{1,2}:MM:SS(\.[0-9]*)?
bool read_time(std::string_view s, std::size_t& i, Moment& m) {
  if (s[i] == 'T' || s[i] == 't') {
    ++i;
  } else if (is_blank(s[i])) {
    while (i < s.size() && is_blank(s[i])) ++i;
  } else {
    return false;
  }
  std::size_t n = read_number(s, i, 2, m.hour);
  if (n == 0) return false;
  i += n;
  if (i >= s.size() || s[i] != ':' || read_number(s, i + 1, 2, m.minute) != 2) return false;
  i += 3;
  if (i >= s.size() || s[i] != ':' || read_number(s, i + 1, 2, m.second) != 2) return false;
  i += 3;
  if (i < s.size() && s[i] == '.') {
    ++i;
    while (i < s.size() && is_digit(s[i])) ++i;
  }
  return true;
}

// ([ \t]*(Z|[-+]H{1,2}(:MM)?))? through the end of the text.
bool read_zone_to_end(std::string_view s, std::size_t& i, Moment& m) {
  while (i < s.size() && is_blank(s[i])) ++i;
  if (i == s.size()) return !is_blank(s.back());  // trailing blanks only come before a zone
  if (s[i] == 'Z') {
    ++i;
  } else if (is_sign(s[i])) {
    std::size_t n = read_number(s, ++i, 2, m.tz_hour);
    if (n == 0) return false;
    i += n;
    if (i < s.size() && s[i] == ':') {
      if (read_number(s, i + 1, 2, m.tz_minute) != 2) return false;
      i += 3;
    }
  } else {
    return false;
  }
  return i == s.size();
}

bool is_leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// Why the fields name no moment, or empty when they do.
std::string_view calendar_error(const Moment& m) {
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m.year < 1) return "year 0 is out of range";
  if (m.month < 1 || m.month > 12) return "month must be in 1..12";
  if (m.day < 1 || m.day > kDays[m.month - 1] + (m.month == 2 && is_leap(m.year) ? 1 : 0)) {
    return "day is out of range for month";
  }
  if (m.hour > 23) return "hour must be in 0..23";
  if (m.minute > 59) return "minute must be in 0..59";
  if (m.second > 59) return "second must be in 0..59";
  if (m.tz_hour * 60 + m.tz_minute >= 24 * 60) return "time zone offset must be less than 24 hours";
  return {};
}

}  // namespace

bool match_timestamp(std::string_view s, bool strict, ResolvedScalar& r) {
  Moment m;
  std::size_t i = 0;
  bool two_digits = false;
  if (!read_date(s, i, m, two_digits)) return false;
  if (i == s.size()) {
    if (strict && !two_digits) return false;
  } else if (!read_time(s, i, m) || !read_zone_to_end(s, i, m)) {
    return false;
  }
  if (std::string_view why = calendar_error(m); !why.empty()) r.error = why;
  return true;
}

}  // namespace tarnwick::yaml::detail
