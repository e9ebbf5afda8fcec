// The scalar field types: conversion from a node, and the JSON Schema of what each accepts.
#include "tarnwick/core/field_types.hpp"

#include <algorithm>
#include <string>

#include "tarnwick/core/hints.hpp"
#include "tarnwick/yaml/resolver.hpp"
#include "utf8.hpp"

namespace tarnwick::core {

using J = nlohmann::ordered_json;

CIDRList _default_network() {
  return CIDRList{IPv4Network()};
}

namespace types {

namespace {

// White space as Python's str.strip() sees it.
bool is_space(char32_t cp) {
  return (cp >= 0x09 && cp <= 0x0D) || (cp >= 0x1C && cp <= 0x20) || cp == 0x85 || cp == 0xA0 ||
         cp == 0x1680 || (cp >= 0x2000 && cp <= 0x200A) || cp == 0x2028 || cp == 0x2029 ||
         cp == 0x202F || cp == 0x205F || cp == 0x3000;
}

std::string_view strip(std::string_view s) {
  std::size_t begin = 0;
  while (begin < s.size()) {
    char32_t cp;
    std::size_t n = utf8::decode(s, begin, cp);
    if (!is_space(cp)) break;
    begin += n;
  }
  std::size_t end = s.size();
  while (end > begin) {
    // Step back to the start of the last code point.
    std::size_t start = end - 1;
    while (start > begin && (static_cast<unsigned char>(s[start]) & 0xC0) == 0x80) --start;
    char32_t cp;
    utf8::decode(s, start, cp);
    if (!is_space(cp)) break;
    end = start;
  }
  return s.substr(begin, end - begin);
}

// Length in characters (code points), as Python counts it.
std::size_t char_count(std::string_view s) {
  std::size_t n = 0;
  for (unsigned char c : s) n += (c & 0xC0) != 0x80;
  return n;
}

// A node's value as the "given" of a literal error.
nlohmann::ordered_json given_of(const yaml::Node& node) {
  switch (node.kind()) {
    case yaml::Kind::Bool:
      return node.bool_value();
    case yaml::Kind::Int:
      if (auto v = node.int_value()) return *v;
      return node.text();
    case yaml::Kind::Float:
      return node.float_value();
    case yaml::Kind::Null:
      return nullptr;
    case yaml::Kind::Seq:
      return "<sequence>";
    case yaml::Kind::Map:
      return "<mapping>";
    default:
      return node.text();
  }
}

// An explicit !!binary holds its bytes, which a string takes when they are text.
bool binary_text(const yaml::Node& node, Builder& b, std::string& out) {
  std::string bytes = yaml::binary_bytes(node.text());
  if (!utf8::valid(bytes)) {
    b.error(std::string(msg::kStr), "type_error.str", node.mark(), nullptr,
            "the !!binary value is not UTF-8 text");
    return false;
  }
  out = std::move(bytes);
  return true;
}

// The value's text in a string of its own size: assigning a text longer than the short-string
// buffer to an empty string reserves twice that buffer, and a large document holds hundreds of
// thousands of such strings.
void set_text(std::string& out, std::string_view text) {
  out = std::string(text);
}

}  // namespace

std::string_view key_loc(const yaml::Node& key) {
  if (key.is_scalar()) return key.text();
  return key.is_seq() ? "<sequence>" : "<mapping>";
}

bool string_of(const yaml::Node& node, Builder& b, std::string& out) {
  switch (node.kind()) {
    case yaml::Kind::Str:
      if (node.tag() == yaml::StandardTag::Binary) return binary_text(node, b, out);
      set_text(out, node.text());
      return true;
    case yaml::Kind::Int:
    case yaml::Kind::Float:
    case yaml::Kind::Bool:
    case yaml::Kind::Timestamp:
      // Written plainly (or built by code): the text itself. With an explicit tag, the value.
      if (node.plain() || !node.mark().known()) {
        set_text(out, node.text());
        return true;
      }
      if (node.kind() == yaml::Kind::Int && node.int_value()) {
        out = std::to_string(*node.int_value());
        return true;
      }
      if (node.kind() == yaml::Kind::Bool) {
        out = node.bool_value() ? "True" : "False";
        return true;
      }
      if (node.kind() != yaml::Kind::Timestamp) {
        set_text(out, node.text());
        return true;
      }
      break;
    default:
      break;
  }
  b.error(std::string(msg::kStr), "type_error.str", node.mark());
  return false;
}

void advise_list(const yaml::Node& node, bool map_is_item, ErrorDetail& fault) {
  if (node.is_map()) {
    if (map_is_item && node.size() != 0) {
      fault.hint = "write a list: make this mapping its one item (`- ` before `" +
                   std::string(key_loc(*node.entries()[0].key)) + "`)";
    }
    return;
  }
  // Bytes of a !!binary and a value read through an explicit tag would not survive as written.
  const bool as_written =
      node.plain() || (node.kind() == yaml::Kind::Str && node.tag() != yaml::StandardTag::Binary);
  if (node.is_seq() || !as_written) return;
  std::string list = hints::flow_list(node.text(), node.plain());
  if (list.empty()) return;
  fault.hint = "write a list: " + list;
  fault.fix = change_to(std::move(list), Applicability::unsafe);
}

bool Str::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  return string_of(node, b, out);
}

bool ConStr::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  std::string text;
  if (!string_of(node, b, text)) return false;
  if (strip) {
    std::string_view trimmed = types::strip(text);
    if (trimmed.size() != text.size()) text = std::string(trimmed);
  }
  if (max_length != 0 && char_count(text) > max_length) {
    b.error("ensure this value has at most " + std::to_string(max_length) + " characters",
            "value_error.any_str.max_length", node.mark(), {{"limit_value", max_length}},
            hints::length_of(char_count(text)));
    return false;
  }
  if (pattern != nullptr && !pattern->match(text)) {
    b.error("string does not match regex \"" + std::string(pattern->text) + "\"",
            "value_error.str.regex", node.mark(), {{"pattern", pattern->text}});
    return false;
  }
  out = std::move(text);
  return true;
}

namespace {

// yes, no, on and off, written in any case, plain or quoted: other readers take them for text.
void lint_truthy(const yaml::Node& node, Builder& b, bool value) {
  const std::string word = utf8::ascii_lower(node.text());
  if (word != "yes" && word != "no" && word != "on" && word != "off") return;
  const std::string_view meant = value ? "true" : "false";
  b.notice(LintRule::truthy,
           "'" + node.text() + "' is read as " + std::string(meant) +
               ", but as text by YAML 1.2 readers: write " + std::string(meant),
           node.mark(), std::string(meant));
}

// An address alone in a network list is one host: say so where a prefix length was forgotten.
void lint_bare_address(const yaml::Node& node, Builder& b, const IPv4Network& read) {
  if (node.text().find('/') != std::string::npos || !b.at_item()) return;
  const std::string written = read.str();
  b.notice(LintRule::bare_address,
           "'" + node.text() + "' has no prefix length and is read as " + written +
               ", a single host: write the prefix length",
           node.mark(), written);
}

}  // namespace

bool Bool::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  switch (node.kind()) {
    case yaml::Kind::Bool:
      out = node.bool_value();
      if (b.linting(LintRule::truthy)) lint_truthy(node, b, out);
      return true;
    case yaml::Kind::Int:
      if (auto v = node.int_value(); v && (*v == 0 || *v == 1)) {
        out = *v == 1;
        return true;
      }
      break;
    case yaml::Kind::Str: {
      const std::string word = utf8::ascii_lower(node.text());
      if (word == "1" || word == "on" || word == "t" || word == "true" || word == "y" ||
          word == "yes") {
        out = true;
        if (b.linting(LintRule::truthy)) lint_truthy(node, b, out);
        return true;
      }
      if (word == "0" || word == "off" || word == "f" || word == "false" || word == "n" ||
          word == "no") {
        out = false;
        if (b.linting(LintRule::truthy)) lint_truthy(node, b, out);
        return true;
      }
      break;
    }
    default:
      break;
  }
  b.error(std::string(msg::kBool), "type_error.bool", node.mark());
  return false;
}

bool IPv4AddressType::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (node.kind() == yaml::Kind::Str) {
    if (auto a = IPv4Address::parse(node.text())) {
      out = *a;
      return true;
    }
  }
  b.error(std::string(msg::kIPv4Address), "value_error.ipv4address", node.mark(), nullptr,
          node.kind() == yaml::Kind::Str ? hints::ipv4_address_problem(node.text()) : "");
  return false;
}

bool IPv4NetworkType::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (node.kind() == yaml::Kind::Str) {
    IPv4Network::ParseResult r = IPv4Network::parse(node.text());
    if (r.network) {
      out = *r.network;
      if (b.linting(LintRule::bare_address)) lint_bare_address(node, b, out);
      return true;
    }
    if (r.host_bits_set) {
      // Say which network was probably meant rather than only that the text is wrong.
      b.error(std::string(msg::kIPv4Network) + ": " + node.text() +
                  " has host bits set (did you mean " + r.suggestion + "?)",
              "value_error.ipv4network", node.mark())
          .fix = change_to(r.suggestion, Applicability::unsafe);  // maybe another block was meant
      return false;
    }
  }
  b.error(std::string(msg::kIPv4Network), "value_error.ipv4network", node.mark(), nullptr,
          node.kind() == yaml::Kind::Str ? hints::ipv4_network_problem(node.text()) : "");
  return false;
}

bool Literal::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (node.kind() == yaml::Kind::Str) {
    for (std::size_t i = 0; i < count; ++i) {
      if (choices[i] == node.text()) {
        set_text(out, node.text());
        return true;
      }
    }
  }
  std::string message = "unexpected value; permitted: ";
  auto permitted = nlohmann::ordered_json::array();
  for (std::size_t i = 0; i < count; ++i) {
    if (i != 0) message += ", ";
    message += "'" + std::string(choices[i]) + "'";
    permitted.push_back(choices[i]);
  }
  hints::Meant meant;
  if (node.kind() == yaml::Kind::Str) {
    const std::span<const std::string_view> listed{choices, count};
    // The definer's own reading (a zone names its region) beats any guess by spelling.
    if (nearer != nullptr) meant = nearer(node.text(), listed);
    if (meant.hint.empty()) meant = hints::meant_choice(node.text(), listed);
  }
  ErrorDetail& fault = b.error(std::move(message), "value_error.const", node.mark(),
                               {{"given", given_of(node)}, {"permitted", std::move(permitted)}},
                               std::move(meant.hint));
  if (!meant.fix.empty()) {
    // Only a choice the text spells in another letter case is surely what was meant.
    const bool same_word =
        hints::case_folded_choice(node.text(), {choices, count}) == meant.fix;
    fault.fix = change_to(std::string(meant.fix),
                          same_word ? Applicability::safe : Applicability::unsafe);
  }
  return false;
}

// ---------------------------------------------------------------------------------------------
// JSON Schema of the input each type accepts.

namespace {

// An octet as IPv4Address::parse reads it: 0-255, no leading zero.
constexpr std::string_view kOctet = "(25[0-5]|2[0-4][0-9]|1[0-9][0-9]|[1-9][0-9]|[0-9])";

std::string dotted_quad() {
  const std::string octet(kOctet);
  return octet + "(\\." + octet + "){3}";
}

// The characters is_space() trims, as a regex class body (the same set in Python and ECMAScript
// regexes, unlike \s).
constexpr std::string_view kSpaceClass =
    "\\t-\\r\\x1c-\\x20\\x85\\xa0\\u1680\\u2000-\\u200a\\u2028\\u2029\\u202f\\u205f\\u3000";

// Text of at most n characters once trimmed, with any padding around it.
std::string trimmed_length_pattern(std::size_t n) {
  const std::string space = "[" + std::string(kSpaceClass) + "]";
  const std::string solid = "[^" + std::string(kSpaceClass) + "]";
  const std::string middle =
      n < 2 ? "" : "(?:[\\s\\S]{0," + std::to_string(n - 2) + "}" + solid + ")?";
  return "^" + space + "*(?:" + solid + middle + ")?" + space + "*$";
}

// An anchored pattern that also takes padding around what it matches.
std::string padded_pattern(std::string_view anchored) {
  const std::string space = "[" + std::string(kSpaceClass) + "]*";
  if (anchored.size() >= 2 && anchored.front() == '^' && anchored.back() == '$') {
    anchored = anchored.substr(1, anchored.size() - 2);
  }
  return "^" + space + "(?:" + std::string(anchored) + ")" + space + "$";
}

// One branch per JSON type: strict validators refuse "type" arrays, and editors list the
// branches' keys alike.
J any_of_types(std::initializer_list<const char*> names) {
  J branches = J::array();
  for (const char* name : names) branches.push_back({{"type", name}});
  return {{"anyOf", std::move(branches)}};
}

}  // namespace

J nullable(J schema) {
  const J null_type{{"type", "null"}};
  if (schema.contains("type") && schema["type"].is_string()) {
    if (schema["type"] == "null") return schema;
    // [T, "null"] is the one type list strict validators take.
    schema["type"] = J::array({schema["type"], "null"});
  } else if (schema.contains("type")) {
    return schema;  // already nullable
  } else if (schema.contains("anyOf") && schema.size() == 1) {
    J& branches = schema["anyOf"];
    if (std::find(branches.begin(), branches.end(), null_type) == branches.end()) {
      branches.push_back(null_type);
    }
    return schema;
  } else {
    return {{"anyOf", J::array({std::move(schema), null_type})}};
  }
  // An enum lists every value allowed, so null must join it too.
  if (schema.contains("enum") &&
      std::find(schema["enum"].begin(), schema["enum"].end(), nullptr) == schema["enum"].end()) {
    schema["enum"].push_back(nullptr);
  }
  return schema;
}

J property_names(J key_schema) {
  // Keys are always text in the schema's data model: only the key's constraints on text matter.
  if (key_schema.contains("anyOf")) {
    for (const J& branch : key_schema["anyOf"]) {
      if (branch == J{{"type", "string"}}) return J::object();  // any text
    }
  }
  key_schema.erase("type");
  return key_schema;
}

J property_schema(J type_schema, std::string_view description, const J* default_value) {
  J s = J::object();
  if (!description.empty()) s["description"] = std::string(description);
  if (type_schema.contains("$ref")) {
    // Draft-07 ignores every keyword beside "$ref": wrap it so the description and default
    // still count.
    s["allOf"] = J::array({std::move(type_schema)});
  } else {
    for (auto& [key, value] : type_schema.items()) s[key] = std::move(value);
  }
  // An absent key reads as null already, and a null default stops the YAML language server's
  // key completion at that key.
  if (default_value != nullptr && !default_value->is_null()) s["default"] = *default_value;
  return s;
}

// A plain scalar that YAML resolves to a number or a boolean is taken as the text written.
J Str::schema(J* /*definitions*/) const {
  return any_of_types({"string", "number", "boolean"});
}

// Trimmed types check length and pattern after trimming, so the text may carry padding.
J ConStr::schema(J* /*definitions*/) const {
  J text{{"type", "string"}};
  J patterns = J::array();
  if (max_length != 0 && strip) {
    patterns.push_back(trimmed_length_pattern(max_length));
  } else if (max_length != 0) {
    text["maxLength"] = max_length;
  }
  if (pattern != nullptr) {
    patterns.push_back(strip ? padded_pattern(pattern->text) : std::string(pattern->text));
  }
  if (patterns.size() == 1) {
    text["pattern"] = patterns[0];
  } else if (patterns.size() > 1) {
    text["allOf"] = J::array();
    for (J& p : patterns) text["allOf"].push_back({{"pattern", std::move(p)}});
  }
  J branches = J::array({std::move(text)});
  if (pattern != nullptr) {
    // Only a plain integer's text can match a pattern of digits; "True" or "1.5" cannot.
    J integer{{"type", "integer"}};
    if (pattern == &kDigits) integer["minimum"] = 0;
    branches.push_back(std::move(integer));
  } else {
    branches.push_back({{"type", "number"}});
    branches.push_back({{"type", "boolean"}});
  }
  return {{"anyOf", std::move(branches)}};
}

// true/false, 0/1, and the words the loader takes in any case (plain ones in YAML 1.1 are
// booleans already; quoted ones and YAML 1.2 documents give text).
J Bool::schema(J* /*definitions*/) const {
  return {{"anyOf", J::array({{{"type", "boolean"}},
                              {{"type", "integer"}, {"enum", {0, 1}}},
                              {{"type", "string"},
                               {"pattern",
                                "^(?:[01]|[tT](?:[rR][uU][eE])?|[yY](?:[eE][sS])?|"
                                "[oO](?:[nN]|[fF][fF])|[fF](?:[aA][lL][sS][eE])?|[nN][oO]?)$"}}})}};
}

J IPv4AddressType::schema(J* /*definitions*/) const {
  return {{"type", "string"}, {"format", "ipv4"}};
}

// ADDR, ADDR/PREFIX (leading zeros allowed, 0-32) or ADDR/MASK; host bits cannot be told by a
// pattern.
J IPv4NetworkType::schema(J* /*definitions*/) const {
  const std::string quad = dotted_quad();
  return {{"type", "string"},
          {"pattern", "^" + quad + "(/(0*([0-9]|[12][0-9]|3[0-2])|" + quad + "))?$"}};
}

J Literal::schema(J* /*definitions*/) const {
  auto choices_json = J::array();
  for (std::size_t i = 0; i < count; ++i) choices_json.push_back(std::string(choices[i]));
  return {{"type", "string"}, {"enum", std::move(choices_json)}};
}

}  // namespace types

}  // namespace tarnwick::core
