#include "tarnwick/core/text_forms.hpp"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <optional>

#include "utf8.hpp"

namespace tarnwick::core {

namespace {

// Python's str.isprintable(), for the characters documents plausibly hold: controls, format
// characters, separators other than the blank, and private-use characters are not printable.
bool printable(char32_t cp) {
  if (cp < 0x20 || (cp >= 0x7F && cp <= 0xA0) || cp == 0xAD) return false;
  if (cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200F) || (cp >= 0x2028 && cp <= 0x202F) ||
      (cp >= 0x205F && cp <= 0x2064) || (cp >= 0x2066 && cp <= 0x206F) || cp == 0x3000 ||
      cp == 0xFEFF || (cp >= 0xFFF9 && cp <= 0xFFFB) || cp == 0x061C || cp == 0x180E) {
    return false;
  }
  if ((cp >= 0xD800 && cp <= 0xDFFF) || (cp >= 0xE000 && cp <= 0xF8FF) || cp >= 0xF0000) {
    return false;
  }
  return cp != 0xFFFE && cp != 0xFFFF;
}

void append_hex(std::string& out, const char* prefix, unsigned value, int digits) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%0*x", digits, value);
  out += prefix;
  out += buf;
}

// An integer's text taken apart: its sign, its base and the digits after the base's prefix
// (underscores still in).
struct IntText {
  bool negative = false;
  unsigned base = 10;
  std::string_view digits;
};

IntText split_int_text(std::string_view text) {
  IntText t;
  std::size_t i = 0;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) t.negative = text[i++] == '-';
  if (text.substr(i, 2) == "0x") {
    t.base = 16;
    i += 2;
  } else if (text.substr(i, 2) == "0b") {
    t.base = 2;
    i += 2;
  } else if (i + 1 < text.size() && text[i] == '0') {
    t.base = 8;
    i += 1;
  }
  t.digits = text.substr(i);
  return t;
}

// Already decimal: the digits as they are, in linear time however many there are.
std::string plain_decimal(const IntText& t) {
  std::string digits;
  for (char c : t.digits) {
    if (c >= '0' && c <= '9') digits += c;
  }
  std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return "0";
  std::string out = t.negative ? "-" : "";
  out.append(digits, first);
  return out;
}

// The value of a digit of base 2, 8 or 16, or nullopt for an underscore.
std::optional<unsigned> digit_value(char c) {
  if (c >= '0' && c <= '9') return static_cast<unsigned>(c - '0');
  if (c >= 'a' && c <= 'f') return static_cast<unsigned>(c - 'a' + 10);
  if (c >= 'A' && c <= 'F') return static_cast<unsigned>(c - 'A' + 10);
  return std::nullopt;
}

// Little-endian decimal digits, multiplied up one input digit at a time; no leading zeros.
std::vector<unsigned> decimal_digits(const IntText& t) {
  std::vector<unsigned> acc{0};
  for (char c : t.digits) {
    std::optional<unsigned> d = digit_value(c);
    if (!d) continue;
    unsigned carry = *d;
    for (unsigned& x : acc) {
      unsigned v = x * t.base + carry;
      x = v % 10;
      carry = v / 10;
    }
    while (carry != 0) {
      acc.push_back(carry % 10);
      carry /= 10;
    }
  }
  while (acc.size() > 1 && acc.back() == 0) acc.pop_back();
  return acc;
}

// The decimal digits of an integer written in any YAML 1.1 form, when it does not fit 64 bits.
std::string big_int_decimal(std::string_view text) {
  // Base 60 (1:30:00) is shown as written rather than converted.
  if (text.find(':') != std::string_view::npos) return std::string(text);
  const IntText t = split_int_text(text);
  if (t.base == 10) return plain_decimal(t);
  // Converting takes time quadratic in the length: a longer number is shown as written.
  constexpr std::size_t kMaxConvertedDigits = 100;
  const auto written =
      std::count_if(t.digits.begin(), t.digits.end(), [](char c) { return c != '_'; });
  if (static_cast<std::size_t>(written) > kMaxConvertedDigits) return std::string(text);
  const std::vector<unsigned> acc = decimal_digits(t);
  std::string out;
  if (t.negative && !(acc.size() == 1 && acc[0] == 0)) out += '-';
  for (auto it = acc.rbegin(); it != acc.rend(); ++it) out += static_cast<char>('0' + *it);
  return out;
}

std::string timestamp_repr(std::string_view text) {
  // A bare date prints as the host's date value; anything with a time keeps its text.
  if (text.size() == 10 && text[4] == '-' && text[7] == '-') {
    auto num = [&](std::size_t pos, std::size_t len) {
      return std::to_string(std::stoi(std::string(text.substr(pos, len))));
    };
    return "datetime.date(" + num(0, 4) + ", " + num(5, 2) + ", " + num(8, 2) + ")";
  }
  return python_repr(text);
}

}  // namespace

std::string python_repr(std::string_view text) {
  const bool has_single = text.find('\'') != std::string_view::npos;
  const bool has_double = text.find('"') != std::string_view::npos;
  const char quote = has_single && !has_double ? '"' : '\'';
  std::string out(1, quote);
  for (std::size_t i = 0; i < text.size();) {
    char32_t cp;
    std::size_t n = utf8::decode(text, i, cp);
    if (cp == static_cast<char32_t>(quote) || cp == '\\') {
      out += '\\';
      out += static_cast<char>(cp);
    } else if (cp == '\n') {
      out += "\\n";
    } else if (cp == '\r') {
      out += "\\r";
    } else if (cp == '\t') {
      out += "\\t";
    } else if (printable(cp)) {
      out.append(text.substr(i, n));
    } else if (cp <= 0xFF) {
      append_hex(out, "\\x", static_cast<unsigned>(cp), 2);
    } else if (cp <= 0xFFFF) {
      append_hex(out, "\\u", static_cast<unsigned>(cp), 4);
    } else {
      append_hex(out, "\\U", static_cast<unsigned>(cp), 8);
    }
    i += n;
  }
  out += quote;
  return out;
}

std::string python_float_repr(double value) {
  if (std::isnan(value)) return "nan";
  if (std::isinf(value)) return value > 0 ? "inf" : "-inf";
  // Shortest round-trip digits in scientific form, then laid out as Python does: plain
  // notation for exponents -4..15, scientific (at least two exponent digits) otherwise.
  char buf[64];
  auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::scientific);
  std::string sci(buf, res.ptr);
  std::string sign;
  if (sci[0] == '-') {
    sign = "-";
    sci.erase(0, 1);
  }
  std::size_t e = sci.find('e');
  int exponent = std::stoi(sci.substr(e + 1));
  std::string digits;
  for (char c : sci.substr(0, e)) {
    if (c != '.') digits += c;
  }
  if (exponent < -4 || exponent >= 16) {
    std::string mantissa = digits.substr(0, 1);
    if (digits.size() > 1) {
      // Appended piecewise: GCC 12 at -O2 warns falsely (-Wrestrict) on "." + std::string.
      mantissa += '.';
      mantissa.append(digits, 1);
    }
    char ebuf[16];
    std::snprintf(ebuf, sizeof ebuf, "e%c%02d", exponent < 0 ? '-' : '+', std::abs(exponent));
    return sign + mantissa + ebuf;
  }
  std::string out;
  if (exponent < 0) {
    out = "0." + std::string(static_cast<std::size_t>(-exponent - 1), '0') + digits;
  } else {
    auto point = static_cast<std::size_t>(exponent) + 1;
    if (digits.size() <= point) {
      out = digits + std::string(point - digits.size(), '0') + ".0";
    } else {
      out = digits.substr(0, point) + "." + digits.substr(point);
    }
  }
  return sign + out;
}

std::string python_repr(const yaml::Node& node) {
  switch (node.kind()) {
    case yaml::Kind::Null:
      return "None";
    case yaml::Kind::Bool:
      return node.bool_value() ? "True" : "False";
    case yaml::Kind::Int:
      if (auto v = node.int_value()) return std::to_string(*v);
      return big_int_decimal(node.text());
    case yaml::Kind::Float:
      return python_float_repr(node.float_value());
    case yaml::Kind::Timestamp:
      return timestamp_repr(node.text());
    case yaml::Kind::Str:
      return python_repr(node.text());
    case yaml::Kind::Seq: {
      std::string out = "[";
      bool first = true;
      for (const yaml::Node* item : node.items()) {
        if (!first) out += ", ";
        first = false;
        out += python_repr(*item);
      }
      return out + "]";
    }
    case yaml::Kind::Map: {
      std::string out = "{";
      bool first = true;
      for (const yaml::Entry& e : node.entries()) {
        if (!first) out += ", ";
        first = false;
        out += python_repr(*e.key) + ": " + python_repr(*e.value);
      }
      return out + "}";
    }
  }
  return "";
}

std::string json_string_list(const std::vector<std::string>& items) {
  std::string out = "[";
  for (std::size_t k = 0; k < items.size(); ++k) {
    if (k != 0) out += ", ";
    out += '"';
    const std::string& s = items[k];
    for (std::size_t i = 0; i < s.size();) {
      char32_t cp;
      std::size_t n = utf8::decode(s, i, cp);
      i += n;
      switch (cp) {
        case '"':
          out += "\\\"";
          continue;
        case '\\':
          out += "\\\\";
          continue;
        case '\b':
          out += "\\b";
          continue;
        case '\f':
          out += "\\f";
          continue;
        case '\n':
          out += "\\n";
          continue;
        case '\r':
          out += "\\r";
          continue;
        case '\t':
          out += "\\t";
          continue;
        default:
          break;
      }
      if (cp >= 0x20 && cp <= 0x7E) {
        out += static_cast<char>(cp);
      } else if (cp <= 0xFFFF) {
        append_hex(out, "\\u", static_cast<unsigned>(cp), 4);
      } else {
        char32_t v = cp - 0x10000;
        append_hex(out, "\\u", static_cast<unsigned>(0xD800 + (v >> 10)), 4);
        append_hex(out, "\\u", static_cast<unsigned>(0xDC00 + (v & 0x3FF)), 4);
      }
    }
    out += '"';
  }
  return out + "]";
}

}  // namespace tarnwick::core
