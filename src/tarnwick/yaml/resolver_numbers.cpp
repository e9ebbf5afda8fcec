// Integers and floats among the YAML 1.1 implicit forms, and their values.
#include <charconv>
#include <cstdint>
#include <limits>
#include <string>
#include <system_error>

#include "resolver_detail.hpp"

namespace tarnwick::yaml::detail {
namespace {

bool is_hex(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

template <typename Pred>
bool all_of(std::string_view s, Pred pred) {
  for (char c : s) {
    if (!pred(c)) return false;
  }
  return true;
}

bool digit_or_underscore(char c) {
  return is_digit(c) || c == '_';
}

// Skips [0-9_]* from `i`.
std::size_t skip_digits(std::string_view s, std::size_t i) {
  while (i < s.size() && digit_or_underscore(s[i])) ++i;
  return i;
}

// Base 60 parts after the first: (:[0-5]?[0-9])+ up to `end` (the end of text, or a '.').
// Returns the index just past the parts, or npos when they do not match.
std::size_t match_sexagesimal_parts(std::string_view s, std::size_t i) {
  bool any = false;
  while (i < s.size() && s[i] == ':') {
    ++i;
    std::size_t n = 0;
    while (i + n < s.size() && is_digit(s[i + n])) ++n;
    if (n == 0 || n > 2 || (n == 2 && s[i] > '5')) return std::string_view::npos;
    i += n;
    any = true;
  }
  return any ? i : std::string_view::npos;
}

// Accumulates digits of `base` (underscores skipped) into a 64-bit magnitude; false on overflow.
bool accumulate(std::string_view digits, unsigned base, std::uint64_t& mag) {
  for (char c : digits) {
    if (c == '_') continue;
    unsigned d = is_digit(c) ? unsigned(c - '0') : unsigned(lower(c) - 'a' + 10);
    if (__builtin_mul_overflow(mag, std::uint64_t{base}, &mag)) return false;
    if (__builtin_add_overflow(mag, std::uint64_t{d}, &mag)) return false;
  }
  return true;
}

// [eE][-+][0-9]+ from i to the end (the sign is optional when `lenient`).
bool match_exponent_to_end(std::string_view s, std::size_t i, bool lenient) {
  if (i == s.size()) return true;
  if (s[i] != 'e' && s[i] != 'E') return false;
  ++i;
  if (i < s.size() && is_sign(s[i])) {
    ++i;
  } else if (!lenient) {
    return false;
  }
  if (i == s.size()) return false;
  return all_of(s.substr(i), is_digit);
}

bool match_inf_nan(std::string_view s) {
  // [-+]?\.(inf|Inf|INF) | \.(nan|NaN|NAN)
  std::string_view r = (!s.empty() && is_sign(s[0])) ? s.substr(1) : s;
  if (r == ".inf" || r == ".Inf" || r == ".INF") return true;
  return r.size() == s.size() && (r == ".nan" || r == ".NaN" || r == ".NAN");
}

// Decimal exponent of the leading significant digit of a digits[.digits][e[-+]digits] text,
// saturated; only its sign matters (which way a range error went).
long long decimal_magnitude(std::string_view s) {
  std::size_t epos = s.find_first_of("eE");
  std::string_view mant = s.substr(0, epos);
  long long exp = 0;
  if (epos != std::string_view::npos) {
    std::size_t i = epos + 1;
    bool neg = i < s.size() && s[i] == '-';
    if (i < s.size() && is_sign(s[i])) ++i;
    for (; i < s.size() && exp < 1'000'000'000; ++i) exp = exp * 10 + (s[i] - '0');
    if (neg) exp = -exp;
  }
  std::size_t point = mant.find('.');
  if (point == std::string_view::npos) point = mant.size();
  for (std::size_t i = 0; i < mant.size(); ++i) {
    if (mant[i] == '.' || mant[i] == '0') continue;
    long long pos =
        i < point ? static_cast<long long>(point - i - 1) : -static_cast<long long>(i - point);
    return pos + exp;
  }
  return 0;
}

// Parses an unsigned decimal float without underscores. Out-of-range values become inf or zero,
// as Python's float() gives them.
double parse_unsigned_float(std::string_view s) {
  if (s.empty()) return 0.0;
  double v = 0.0;
  auto res = std::from_chars(s.data(), s.data() + s.size(), v);
  if (res.ec == std::errc::result_out_of_range) {
    return decimal_magnitude(s) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
  }
  return v;
}

}  // namespace

IntForm match_int(std::string_view s) {
  std::size_t i = (!s.empty() && is_sign(s[0])) ? 1 : 0;
  std::string_view r = s.substr(i);
  if (r.empty()) return IntForm::None;
  if (r.size() >= 2 && r[0] == '0' && r[1] == 'b') {
    return r.size() > 2 &&
                   all_of(r.substr(2), [](char c) { return c == '0' || c == '1' || c == '_'; })
               ? IntForm::Binary
               : IntForm::None;
  }
  if (r.size() >= 2 && r[0] == '0' && r[1] == 'x') {
    return r.size() > 2 && all_of(r.substr(2), [](char c) { return is_hex(c) || c == '_'; })
               ? IntForm::Hex
               : IntForm::None;
  }
  if (r[0] == '0') {
    if (r.size() == 1) return IntForm::Decimal;
    return all_of(r.substr(1), [](char c) { return (c >= '0' && c <= '7') || c == '_'; })
               ? IntForm::Octal
               : IntForm::None;
  }
  if (!is_digit(r[0])) return IntForm::None;
  std::size_t j = skip_digits(r, 1);
  if (j == r.size()) return IntForm::Decimal;
  if (r[j] == ':' && match_sexagesimal_parts(r, j) == r.size()) return IntForm::Sexagesimal;
  return IntForm::None;
}

ResolvedScalar construct_int(std::string_view s, IntForm form) {
  ResolvedScalar r;
  r.kind = Kind::Int;
  r.tag = StandardTag::Int;
  bool negative = s[0] == '-';
  std::string_view body = is_sign(s[0]) ? s.substr(1) : s;
  std::uint64_t mag = 0;
  bool fits = true;
  switch (form) {
    case IntForm::Binary:
    case IntForm::Hex: {
      std::string_view digits = body.substr(2);
      if (all_of(digits, [](char c) { return c == '_'; })) {
        r.error = "it has no digits";
        return r;
      }
      fits = accumulate(digits, form == IntForm::Binary ? 2 : 16, mag);
      break;
    }
    case IntForm::Octal:
      fits = accumulate(body.substr(1), 8, mag);
      break;
    case IntForm::Decimal:
      fits = accumulate(body, 10, mag);
      break;
    case IntForm::Sexagesimal: {
      // Horner's rule over the ':'-separated parts: the same value as summing part * 60^k.
      std::size_t start = 0;
      while (fits) {
        std::size_t colon = body.find(':', start);
        std::uint64_t part = 0;
        fits = accumulate(body.substr(start, colon - start), 10, part);
        fits = fits && !__builtin_mul_overflow(mag, std::uint64_t{60}, &mag) &&
               !__builtin_add_overflow(mag, part, &mag);
        if (colon == std::string_view::npos) break;
        start = colon + 1;
      }
      break;
    }
    case IntForm::None:
      break;
  }
  constexpr std::uint64_t kMaxPositive = std::uint64_t{std::numeric_limits<std::int64_t>::max()};
  if (!fits || mag > kMaxPositive + (negative ? 1 : 0)) {
    r.big = true;
    return r;
  }
  // Negating through unsigned arithmetic keeps INT64_MIN well defined.
  r.integer = negative ? static_cast<std::int64_t>(~mag + 1) : static_cast<std::int64_t>(mag);
  return r;
}

bool match_float(std::string_view s) {
  if (s.empty()) return false;
  if (match_inf_nan(s)) return true;
  if (s[0] == '.') {
    // \.[0-9][0-9_]*([eE][-+][0-9]+)?  (no sign allowed on this form)
    if (s.size() < 2 || !is_digit(s[1])) return false;
    return match_exponent_to_end(s, skip_digits(s, 2), false);
  }
  std::size_t i = is_sign(s[0]) ? 1 : 0;
  if (i >= s.size() || !is_digit(s[i])) return false;
  i = skip_digits(s, i + 1);
  if (i == s.size()) return false;
  if (s[i] == '.') return match_exponent_to_end(s, skip_digits(s, i + 1), false);
  if (s[i] == ':') {
    i = match_sexagesimal_parts(s, i);
    if (i == std::string_view::npos || i == s.size() || s[i] != '.') return false;
    return skip_digits(s, i + 1) == s.size();
  }
  return false;
}

bool match_float_tagged(std::string_view s) {
  if (match_float(s)) return true;
  std::string_view r = (!s.empty() && is_sign(s[0])) ? s.substr(1) : s;
  if (equals_ci(r, ".inf") || equals_ci(r, ".nan")) return true;
  if (r.empty()) return false;
  std::size_t i = 0;
  if (is_digit(r[0])) {
    i = skip_digits(r, 1);
    if (i < r.size() && r[i] == ':') {
      i = match_sexagesimal_parts(r, i);
      if (i == std::string_view::npos) return false;
      if (i == r.size()) return true;
      return r[i] == '.' && skip_digits(r, i + 1) == r.size();
    }
    if (i < r.size() && r[i] == '.') i = skip_digits(r, i + 1);
  } else if (r[0] == '.' && r.size() > 1 && is_digit(r[1])) {
    i = skip_digits(r, 2);
  } else {
    return false;
  }
  return match_exponent_to_end(r, i, true);
}

ResolvedScalar construct_float(std::string_view s) {
  ResolvedScalar r;
  r.kind = Kind::Float;
  r.tag = StandardTag::Float;
  std::string clean;
  clean.reserve(s.size());
  for (char c : s) {
    if (c != '_') clean.push_back(lower(c));
  }
  double sign = clean[0] == '-' ? -1.0 : 1.0;
  std::string_view v = clean;
  if (is_sign(v[0])) v.remove_prefix(1);
  if (v == ".inf") {
    r.real = sign * std::numeric_limits<double>::infinity();
  } else if (v == ".nan") {
    r.real = std::numeric_limits<double>::quiet_NaN();
  } else if (v.find(':') != std::string_view::npos) {
    // Summed from the last part up, with the same rounding as the Python loader.
    double value = 0.0;
    double base = 1.0;
    std::size_t end = v.size();
    while (true) {
      std::size_t colon = v.rfind(':', end - 1);
      std::size_t start = colon == std::string_view::npos ? 0 : colon + 1;
      value += parse_unsigned_float(v.substr(start, end - start)) * base;
      base *= 60.0;
      if (colon == std::string_view::npos) break;
      end = colon;
    }
    r.real = sign * value;
  } else {
    r.real = sign * parse_unsigned_float(v);
  }
  return r;
}

}  // namespace tarnwick::yaml::detail
