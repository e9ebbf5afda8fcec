#include "tarnwick/yaml/resolver.hpp"

#include <array>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>
#include <system_error>

namespace tarnwick::yaml {
namespace {

// Hand-written matchers: scalars are resolved once per node of documents with millions of nodes,
// so no regex engine. Each matcher mirrors one alternative of the YAML 1.1 implicit patterns.

bool is_digit(char c) {
  return c >= '0' && c <= '9';
}
bool is_hex(char c) {
  return is_digit(c) || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}
bool is_sign(char c) {
  return c == '-' || c == '+';
}
char lower(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
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

bool equals_ci(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (lower(a[i]) != lower(b[i])) return false;
  }
  return true;
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

// ---------------------------------------------------------------------------------------------
// Booleans and null

struct Word {
  std::string_view text;
  bool value;
};

constexpr std::array<Word, 18> kBoolWords{{
    {"yes", true},
    {"Yes", true},
    {"YES", true},
    {"no", false},
    {"No", false},
    {"NO", false},
    {"true", true},
    {"True", true},
    {"TRUE", true},
    {"false", false},
    {"False", false},
    {"FALSE", false},
    {"on", true},
    {"On", true},
    {"ON", true},
    {"off", false},
    {"Off", false},
    {"OFF", false},
}};

std::optional<bool> match_bool(std::string_view s) {
  for (const Word& w : kBoolWords) {
    if (w.text == s) return w.value;
  }
  return std::nullopt;
}

std::optional<bool> match_bool_any_case(std::string_view s) {
  for (std::string_view w : {"yes", "true", "on"}) {
    if (equals_ci(s, w)) return true;
  }
  for (std::string_view w : {"no", "false", "off"}) {
    if (equals_ci(s, w)) return false;
  }
  return std::nullopt;
}

bool match_null(std::string_view s) {
  return s.empty() || s == "~" || s == "null" || s == "Null" || s == "NULL";
}

// ---------------------------------------------------------------------------------------------
// Integers

enum class IntForm { None, Binary, Octal, Decimal, Hex, Sexagesimal };

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

ResolvedScalar construct_int(std::string_view s, IntForm form) {
  ResolvedScalar r;
  r.kind = Kind::Int;
  r.tag = Tag::Int;
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

// ---------------------------------------------------------------------------------------------
// Floats

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

// What an explicit !!float accepts beyond the implicit forms: integers, exponents without sign or
// dot, base 60 without fraction, and .inf/.nan in any case with an optional sign.
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

ResolvedScalar construct_float(std::string_view s) {
  ResolvedScalar r;
  r.kind = Kind::Float;
  r.tag = Tag::Float;
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

// ---------------------------------------------------------------------------------------------
// Timestamps

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

bool is_leap(int y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

// The timestamp forms; `strict` is the implicit pattern (a date alone needs two-digit month and
// day), otherwise the constructor's. Sets r.error for a well-formed text naming no moment.
bool match_timestamp(std::string_view s, bool strict, ResolvedScalar& r) {
  int year = 0, month = 0, day = 0;
  std::size_t i = 0, n = 0;
  if (read_number(s, i, 4, year) != 4) return false;
  i += 4;
  if (i >= s.size() || s[i] != '-') return false;
  n = read_number(s, ++i, 2, month);
  if (n == 0) return false;
  bool two_digits = n == 2;
  i += n;
  if (i >= s.size() || s[i] != '-') return false;
  n = read_number(s, ++i, 2, day);
  if (n == 0) return false;
  two_digits = two_digits && n == 2;
  i += n;
  int hour = 0, minute = 0, second = 0, tz_hour = 0, tz_minute = 0;
  if (i == s.size()) {
    if (strict && !two_digits) return false;
  } else {
    // ([Tt]|[ \t]+) H{1,2}:MM:SS(\.[0-9]*)?([ \t]*(Z|[-+]H{1,2}(:MM)?))?
    if (s[i] == 'T' || s[i] == 't') {
      ++i;
    } else if (s[i] == ' ' || s[i] == '\t') {
      while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    } else {
      return false;
    }
    n = read_number(s, i, 2, hour);
    if (n == 0) return false;
    i += n;
    if (i >= s.size() || s[i] != ':' || read_number(s, i + 1, 2, minute) != 2) return false;
    i += 3;
    if (i >= s.size() || s[i] != ':' || read_number(s, i + 1, 2, second) != 2) return false;
    i += 3;
    if (i < s.size() && s[i] == '.') {
      ++i;
      while (i < s.size() && is_digit(s[i])) ++i;
    }
    while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
    if (i < s.size()) {
      if (s[i] == 'Z') {
        ++i;
      } else if (is_sign(s[i])) {
        n = read_number(s, ++i, 2, tz_hour);
        if (n == 0) return false;
        i += n;
        if (i < s.size() && s[i] == ':') {
          if (read_number(s, i + 1, 2, tz_minute) != 2) return false;
          i += 3;
        }
      } else {
        return false;
      }
      if (i != s.size()) return false;
    } else if (s.back() == ' ' || s.back() == '\t') {
      return false;  // trailing blanks are only allowed before a zone
    }
  }
  static constexpr std::array<int, 12> kDays{31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (year < 1) {
    r.error = "year 0 is out of range";
  } else if (month < 1 || month > 12) {
    r.error = "month must be in 1..12";
  } else if (day < 1 || day > kDays[month - 1] + (month == 2 && is_leap(year) ? 1 : 0)) {
    r.error = "day is out of range for month";
  } else if (hour > 23) {
    r.error = "hour must be in 0..23";
  } else if (minute > 59) {
    r.error = "minute must be in 0..59";
  } else if (second > 59) {
    r.error = "second must be in 0..59";
  } else if (tz_hour * 60 + tz_minute >= 24 * 60) {
    r.error = "time zone offset must be less than 24 hours";
  }
  return true;
}

// ---------------------------------------------------------------------------------------------
// Base64 (for !!binary): whitespace is ignored, the rest is the alphabet padded to a multiple
// of four.
bool valid_base64(std::string_view s) {
  std::size_t data = 0, pad = 0;
  for (char c : s) {
    if (c == ' ' || c == '\t' || c == '\n' || c == '\r') continue;
    if (c == '=') {
      ++pad;
      continue;
    }
    bool alpha =
        (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || is_digit(c) || c == '+' || c == '/';
    if (!alpha || pad > 0) return false;
    ++data;
  }
  return pad <= 2 && (data + pad) % 4 == 0;
}

ResolvedScalar of_kind(Kind kind, Tag tag) {
  ResolvedScalar r;
  r.kind = kind;
  r.tag = tag;
  return r;
}

ResolvedScalar failed(Kind kind, Tag tag, std::string_view why) {
  ResolvedScalar r = of_kind(kind, tag);
  r.error = why;
  return r;
}

}  // namespace

ResolvedScalar resolve_plain(std::string_view text) {
  if (text.empty()) return of_kind(Kind::Null, Tag::Null);
  // Each pattern only applies to texts starting with one of its first characters.
  switch (text[0]) {
    case 'y':
    case 'Y':
    case 'n':
    case 'N':
    case 't':
    case 'T':
    case 'f':
    case 'F':
    case 'o':
    case 'O': {
      if (auto b = match_bool(text)) {
        ResolvedScalar r = of_kind(Kind::Bool, Tag::Bool);
        r.boolean = *b;
        return r;
      }
      if (match_null(text)) return of_kind(Kind::Null, Tag::Null);
      return of_kind(Kind::Str, Tag::Str);
    }
    case '~':
      return match_null(text) ? of_kind(Kind::Null, Tag::Null) : of_kind(Kind::Str, Tag::Str);
    case '<':
      return of_kind(Kind::Str, text == "<<" ? Tag::Merge : Tag::Str);
    case '-':
    case '+':
    case '.':
    case '0':
    case '1':
    case '2':
    case '3':
    case '4':
    case '5':
    case '6':
    case '7':
    case '8':
    case '9': {
      if (match_float(text)) return construct_float(text);
      if (IntForm form = match_int(text); form != IntForm::None) return construct_int(text, form);
      ResolvedScalar r = of_kind(Kind::Timestamp, Tag::Timestamp);
      if (is_digit(text[0]) && match_timestamp(text, true, r)) return r;
      return of_kind(Kind::Str, Tag::Str);
    }
    default:
      return of_kind(Kind::Str, Tag::Str);
  }
}

ResolvedScalar resolve_tagged(Tag tag, std::string_view text) {
  switch (tag) {
    case Tag::Str:
    case Tag::Value:
      return of_kind(Kind::Str, Tag::Str);
    case Tag::Merge:
      return of_kind(Kind::Str, Tag::Merge);
    case Tag::Binary:
      if (!valid_base64(text)) return failed(Kind::Str, Tag::Binary, "it is not valid base64");
      return of_kind(Kind::Str, Tag::Binary);
    case Tag::Null:
      if (!match_null(text)) return failed(Kind::Null, Tag::Null, "expected ~, null or nothing");
      return of_kind(Kind::Null, Tag::Null);
    case Tag::Bool: {
      auto b = match_bool_any_case(text);
      if (!b) return failed(Kind::Bool, Tag::Bool, "expected yes/no, true/false or on/off");
      ResolvedScalar r = of_kind(Kind::Bool, Tag::Bool);
      r.boolean = *b;
      return r;
    }
    case Tag::Int: {
      IntForm form = match_int(text);
      if (form == IntForm::None) return failed(Kind::Int, Tag::Int, "it is not an integer");
      return construct_int(text, form);
    }
    case Tag::Float:
      if (!match_float_tagged(text)) return failed(Kind::Float, Tag::Float, "it is not a number");
      return construct_float(text);
    case Tag::Timestamp: {
      ResolvedScalar r = of_kind(Kind::Timestamp, Tag::Timestamp);
      if (!match_timestamp(text, false, r)) r.error = "expected YYYY-MM-DD with an optional time";
      return r;
    }
    case Tag::Seq:
    case Tag::Map:
    case Tag::Omap:
    case Tag::Pairs:
    case Tag::Set:
      break;
  }
  return failed(Kind::Str, tag, "the tag is for collections, not scalars");
}

std::optional<Tag> tag_from_uri(std::string_view uri) {
  static constexpr std::string_view kPrefix = "tag:yaml.org,2002:";
  if (uri.substr(0, kPrefix.size()) != kPrefix) return std::nullopt;
  std::string_view name = uri.substr(kPrefix.size());
  static constexpr std::array<Tag, 14> kAll{
      Tag::Null, Tag::Bool, Tag::Int,  Tag::Float, Tag::Str, Tag::Timestamp, Tag::Binary,
      Tag::Seq,  Tag::Map,  Tag::Omap, Tag::Pairs, Tag::Set, Tag::Merge,     Tag::Value};
  for (Tag t : kAll) {
    if (tag_uri(t).substr(kPrefix.size()) == name) return t;
  }
  return std::nullopt;
}

std::string_view tag_short(Tag tag) {
  switch (tag) {
    case Tag::Null:
      return "!!null";
    case Tag::Bool:
      return "!!bool";
    case Tag::Int:
      return "!!int";
    case Tag::Float:
      return "!!float";
    case Tag::Str:
      return "!!str";
    case Tag::Timestamp:
      return "!!timestamp";
    case Tag::Binary:
      return "!!binary";
    case Tag::Seq:
      return "!!seq";
    case Tag::Map:
      return "!!map";
    case Tag::Omap:
      return "!!omap";
    case Tag::Pairs:
      return "!!pairs";
    case Tag::Set:
      return "!!set";
    case Tag::Merge:
      return "!!merge";
    case Tag::Value:
      return "!!value";
  }
  return "!!?";
}

}  // namespace tarnwick::yaml
