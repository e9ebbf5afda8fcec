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
