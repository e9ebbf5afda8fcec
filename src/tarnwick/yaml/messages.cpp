#include "messages.hpp"

namespace tarnwick::yaml::detail {

std::string at(Mark mark) {
  return "line " + std::to_string(mark.line) + ", column " + std::to_string(mark.column);
}

std::string quoted(std::string_view text) {
  constexpr std::size_t kMax = 40;
  std::string out = "\"";
  if (text.size() <= kMax) {
    out += text;
  } else {
    // Cut on a character boundary.
    std::size_t cut = kMax;
    while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
    out += text.substr(0, cut);
    out += "...";
  }
  return out + "\"";
}

std::string written_tag(std::string_view uri) {
  constexpr std::string_view kStd = "tag:yaml.org,2002:";
  if (uri.substr(0, kStd.size()) == kStd) return "!!" + std::string(uri.substr(kStd.size()));
  if (!uri.empty() && uri[0] == '!') return std::string(uri);
  return "!<" + std::string(uri) + ">";
}

std::string_view article_kind(Kind kind) {
  switch (kind) {
    case Kind::Null:
      return "a null";
    case Kind::Bool:
      return "a boolean";
    case Kind::Int:
      return "an integer";
    case Kind::Float:
      return "a float";
    case Kind::Str:
      return "a string";
    case Kind::Timestamp:
      return "a timestamp";
    case Kind::Seq:
      return "a sequence";
    case Kind::Map:
      return "a mapping";
  }
  return "a node";
}

}  // namespace tarnwick::yaml::detail
