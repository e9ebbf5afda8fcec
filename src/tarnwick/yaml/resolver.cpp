#include "tarnwick/yaml/resolver.hpp"

#include <array>

#include "resolver_detail.hpp"

// The numbers (resolver_numbers.cpp) and timestamps (resolver_timestamp.cpp) have files of their
// own; the booleans, null, base64 and the dispatch on the first character are here.
namespace tarnwick::yaml {

using detail::construct_float;
using detail::construct_int;
using detail::equals_ci;
using detail::IntForm;
using detail::is_digit;
using detail::match_float;
using detail::match_float_tagged;
using detail::match_int;
using detail::match_timestamp;

namespace {

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

ResolvedScalar of_kind(Kind kind, StandardTag tag) {
  ResolvedScalar r;
  r.kind = kind;
  r.tag = tag;
  return r;
}

ResolvedScalar failed(Kind kind, StandardTag tag, std::string_view why) {
  ResolvedScalar r = of_kind(kind, tag);
  r.error = why;
  return r;
}

}  // namespace

ResolvedScalar resolve_plain(std::string_view text) {
  if (text.empty()) return of_kind(Kind::Null, StandardTag::Null);
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
        ResolvedScalar r = of_kind(Kind::Bool, StandardTag::Bool);
        r.boolean = *b;
        return r;
      }
      if (match_null(text)) return of_kind(Kind::Null, StandardTag::Null);
      return of_kind(Kind::Str, StandardTag::Str);
    }
    case '~':
      return match_null(text) ? of_kind(Kind::Null, StandardTag::Null)
                              : of_kind(Kind::Str, StandardTag::Str);
    case '<':
      return of_kind(Kind::Str, text == "<<" ? StandardTag::Merge : StandardTag::Str);
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
      ResolvedScalar r = of_kind(Kind::Timestamp, StandardTag::Timestamp);
      if (is_digit(text[0]) && match_timestamp(text, true, r)) return r;
      return of_kind(Kind::Str, StandardTag::Str);
    }
    default:
      return of_kind(Kind::Str, StandardTag::Str);
  }
}

std::string binary_bytes(std::string_view base64) {
  std::string out;
  out.reserve(base64.size() / 4 * 3);
  std::uint32_t acc = 0;
  int bits = 0;
  for (char c : base64) {
    int v;
    if (c >= 'A' && c <= 'Z') {
      v = c - 'A';
    } else if (c >= 'a' && c <= 'z') {
      v = c - 'a' + 26;
    } else if (is_digit(c)) {
      v = c - '0' + 52;
    } else if (c == '+' || c == '/') {
      v = c == '+' ? 62 : 63;
    } else {
      continue;  // white space and padding
    }
    acc = (acc << 6) | static_cast<std::uint32_t>(v);
    bits += 6;
    if (bits >= 8) {
      bits -= 8;
      out += static_cast<char>((acc >> bits) & 0xFFu);
    }
  }
  return out;
}

ResolvedScalar resolve_tagged(StandardTag tag, std::string_view text) {
  switch (tag) {
    case StandardTag::Str:
    case StandardTag::Value:
      return of_kind(Kind::Str, StandardTag::Str);
    case StandardTag::Merge:
      return of_kind(Kind::Str, StandardTag::Merge);
    case StandardTag::Binary:
      if (!valid_base64(text))
        return failed(Kind::Str, StandardTag::Binary, "it is not valid base64");
      return of_kind(Kind::Str, StandardTag::Binary);
    case StandardTag::Null:
      if (!match_null(text))
        return failed(Kind::Null, StandardTag::Null, "expected ~, null or nothing");
      return of_kind(Kind::Null, StandardTag::Null);
    case StandardTag::Bool: {
      auto b = match_bool_any_case(text);
      if (!b) return failed(Kind::Bool, StandardTag::Bool, "expected yes/no, true/false or on/off");
      ResolvedScalar r = of_kind(Kind::Bool, StandardTag::Bool);
      r.boolean = *b;
      return r;
    }
    case StandardTag::Int: {
      IntForm form = match_int(text);
      if (form == IntForm::None) return failed(Kind::Int, StandardTag::Int, "it is not an integer");
      return construct_int(text, form);
    }
    case StandardTag::Float:
      if (!match_float_tagged(text))
        return failed(Kind::Float, StandardTag::Float, "it is not a number");
      return construct_float(text);
    case StandardTag::Timestamp: {
      ResolvedScalar r = of_kind(Kind::Timestamp, StandardTag::Timestamp);
      if (!match_timestamp(text, false, r)) r.error = "expected YYYY-MM-DD with an optional time";
      return r;
    }
    case StandardTag::Seq:
    case StandardTag::Map:
    case StandardTag::Omap:
    case StandardTag::Pairs:
    case StandardTag::Set:
      break;
  }
  return failed(Kind::Str, tag, "the tag is for collections, not scalars");
}

}  // namespace tarnwick::yaml
