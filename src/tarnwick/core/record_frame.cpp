#include "tarnwick/core/record_frame.hpp"

#include <atomic>
#include <span>

#include "tarnwick/core/globals.hpp"  // validate_id

#include "utf8.hpp"

namespace tarnwick::core {

// ---------------------------------------------------------------------------------------------
// The mode.

namespace {

std::atomic<bool> g_discovery_only{false};

// -1: no build running on this thread; else the mode of the innermost running build.
thread_local int t_build_mode = -1;

}  // namespace

bool BaseModel::discovery_only() {
  if (t_build_mode >= 0) return t_build_mode == 1;
  return g_discovery_only.load(std::memory_order_relaxed);
}

void BaseModel::set_discovery_only(bool value) {
  g_discovery_only.store(value, std::memory_order_relaxed);
}

ModeScope::ModeScope(bool discovery_only) : saved_(t_build_mode) {
  t_build_mode = discovery_only ? 1 : 0;
}

ModeScope::~ModeScope() {
  t_build_mode = saved_;
}

// ---------------------------------------------------------------------------------------------
// Errors.

void Builder::error(std::string message, std::string type, yaml::Mark mark,
                    nlohmann::ordered_json ctx) {
  ErrorDetail& e = errors_.emplace_back();
  e.loc.reserve(depth_);
  for (const Step& step : std::span(loc_).first(depth_)) {
    if (step.is_index) {
      e.loc.emplace_back(step.index);
    } else {
      e.loc.emplace_back(std::string(step.key));
    }
  }
  e.msg = std::move(message);
  e.type = std::move(type);
  e.ctx = std::move(ctx);
  e.mark = mark;
}

void Builder::grow_loc() {
  loc_.resize(loc_.empty() ? 16 : loc_.size() * 2);
}

void Builder::add_errors(std::vector<ErrorDetail> errors) {
  if (errors_.empty()) {
    errors_ = std::move(errors);
  } else {
    errors_.insert(errors_.end(), std::make_move_iterator(errors.begin()),
                   std::make_move_iterator(errors.end()));
  }
}

std::string loc_text(const Loc& loc) {
  std::string out;
  for (const LocPart& part : loc) {
    if (!out.empty()) out += '.';
    if (const auto* key = std::get_if<std::string>(&part)) {
      out += *key;
    } else {
      out += std::to_string(std::get<std::int64_t>(part));
    }
  }
  return out;
}

nlohmann::ordered_json ErrorDetail::to_json() const {
  nlohmann::ordered_json o;
  auto& l = o["loc"] = nlohmann::ordered_json::array();
  for (const LocPart& part : loc) {
    if (const auto* key = std::get_if<std::string>(&part)) {
      l.push_back(*key);
    } else {
      l.push_back(std::get<std::int64_t>(part));
    }
  }
  o["msg"] = msg;
  o["type"] = type;
  if (!ctx.is_null()) o["ctx"] = ctx;
  if (mark.known()) {
    o["line"] = mark.line;
    o["column"] = mark.column;
  }
  return o;
}

namespace {

std::string summarize(const std::string& model, const std::vector<ErrorDetail>& errors) {
  std::string out = std::to_string(errors.size()) + " validation error" +
                    (errors.size() == 1 ? "" : "s") + " for " + model;
  for (const ErrorDetail& e : errors) {
    std::string where;
    for (const LocPart& part : e.loc) {
      if (!where.empty()) where += " -> ";
      if (const auto* key = std::get_if<std::string>(&part)) {
        where += *key;
      } else {
        where += std::to_string(std::get<std::int64_t>(part));
      }
    }
    out += "\n" + where + "\n  " + e.msg + " (type=" + e.type;
    if (e.ctx.is_object()) {
      for (const auto& [k, v] : e.ctx.items()) {
        out += "; " + k + "=" + (v.is_string() ? v.get<std::string>() : v.dump());
      }
    }
    out += ")";
  }
  return out;
}

}  // namespace

ValidationError::ValidationError(std::string model, std::vector<ErrorDetail> errors)
    : model_(std::move(model)), errors_(std::move(errors)), summary_(summarize(model_, errors_)) {}

nlohmann::ordered_json ValidationError::to_json() const {
  auto a = nlohmann::ordered_json::array();
  for (const ErrorDetail& e : errors_) a.push_back(e.to_json());
  return a;
}

std::string ValidationError::json() const {
  // ASCII only, as the host's JSON encoder writes it; a stray invalid byte never aborts the report.
  return to_json().dump(2, ' ', true, nlohmann::ordered_json::error_handler_t::replace);
}

// ---------------------------------------------------------------------------------------------
// Field types.

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

std::string ascii_lower(std::string_view s) {
  std::string out(s);
  for (char& c : out) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return out;
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

}  // namespace

std::string_view key_loc(const yaml::Node& key) {
  if (key.is_scalar()) return key.text();
  return key.is_seq() ? "<sequence>" : "<mapping>";
}

bool string_of(const yaml::Node& node, Builder& b, std::string& out) {
  switch (node.kind()) {
    case yaml::Kind::Str:
      out = node.text();
      return true;
    case yaml::Kind::Int:
    case yaml::Kind::Float:
    case yaml::Kind::Bool:
    case yaml::Kind::Timestamp:
      // Written plainly (or built by code): the text itself. With an explicit tag, the value.
      if (node.plain() || !node.mark().known()) {
        out = node.text();
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
        out = node.text();
        return true;
      }
      break;
    default:
      break;
  }
  b.error(std::string(msg::kStr), "type_error.str", node.mark());
  return false;
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
            "value_error.any_str.max_length", node.mark(), {{"limit_value", max_length}});
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

bool Bool::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  switch (node.kind()) {
    case yaml::Kind::Bool:
      out = node.bool_value();
      return true;
    case yaml::Kind::Int:
      if (auto v = node.int_value(); v && (*v == 0 || *v == 1)) {
        out = *v == 1;
        return true;
      }
      break;
    case yaml::Kind::Str: {
      const std::string word = ascii_lower(node.text());
      if (word == "1" || word == "on" || word == "t" || word == "true" || word == "y" ||
          word == "yes") {
        out = true;
        return true;
      }
      if (word == "0" || word == "off" || word == "f" || word == "false" || word == "n" ||
          word == "no") {
        out = false;
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
  b.error(std::string(msg::kIPv4Address), "value_error.ipv4address", node.mark());
  return false;
}

bool IPv4NetworkType::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (node.kind() == yaml::Kind::Str) {
    IPv4Network::ParseResult r = IPv4Network::parse(node.text());
    if (r.network) {
      out = *r.network;
      return true;
    }
    if (r.host_bits_set) {
      // Say which network was probably meant rather than only that the text is wrong.
      b.error(std::string(msg::kIPv4Network) + ": " + node.text() +
                  " has host bits set (did you mean " + r.suggestion + "?)",
              "value_error.ipv4network", node.mark());
      return false;
    }
  }
  b.error(std::string(msg::kIPv4Network), "value_error.ipv4network", node.mark());
  return false;
}

bool Literal::convert(const yaml::Node& node, Builder& b, value_type& out) const {
  if (node.kind() == yaml::Kind::Str) {
    for (std::size_t i = 0; i < count; ++i) {
      if (choices[i] == node.text()) {
        out = node.text();
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
  b.error(std::move(message), "value_error.const", node.mark(),
          {{"given", given_of(node)}, {"permitted", std::move(permitted)}});
  return false;
}

}  // namespace types

// ---------------------------------------------------------------------------------------------
// Shared helpers and the identified-record base.

CIDRList _default_network() {
  return CIDRList{IPv4Network()};
}

std::optional<std::string> ModeIdConfig::validate_id(std::optional<std::string> value) {
  if (value && Globals::is_mode_id(*value)) return value;
  throw ValueError("id must be one of " + Globals::mode_ids_text());
}

const Schema<ModeIdConfig>& ModeIdConfig::schema() {
  static const Schema<ModeIdConfig> schema{"ModeIdConfig", inherited_fields<ModeIdConfig>()};
  return schema;
}

}  // namespace tarnwick::core
