#include "lsp/positions.hpp"

#include <algorithm>

#include "tarnwick/yaml/text_lines.hpp"

namespace tarnwick::lsp {

namespace {

// Bytes of the UTF-8 sequence a lead byte starts; a stray byte counts as one character.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0x80) return 1;
  if (lead >= 0xF0 && lead < 0xF8) return 4;
  if (lead >= 0xE0) return lead < 0xF0 ? 3 : 1;
  if (lead >= 0xC0) return 2;
  return 1;
}

std::uint32_t json_u32(const nlohmann::json& j, const char* key) {
  if (!j.is_object()) return 0;
  const auto it = j.find(key);
  // Any integer that is not negative (a client's JSON library may send small numbers signed);
  // one past 32 bits is past every text's end, where offset() clamps it.
  if (it == j.end() || !it->is_number_integer()) return 0;
  if (it->is_number_unsigned()) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(it->get<std::uint64_t>(), UINT32_MAX));
  }
  const std::int64_t v = it->get<std::int64_t>();
  return v < 0 ? 0 : static_cast<std::uint32_t>(std::min<std::int64_t>(v, UINT32_MAX));
}

}  // namespace

nlohmann::json to_json(Position p) {
  return {{"line", p.line}, {"character", p.character}};
}

nlohmann::json to_json(const Range& r) {
  return {{"start", to_json(r.start)}, {"end", to_json(r.end)}};
}

Position position_of(const nlohmann::json& j) {
  return {json_u32(j, "line"), json_u32(j, "character")};
}

Range range_of(const nlohmann::json& j) {
  if (!j.is_object()) return {};
  return {position_of(j.value("start", nlohmann::json())),
          position_of(j.value("end", nlohmann::json()))};
}

// Lines split where the reader splits them (LF, CRLF, CR), by the YAML layer's one index.
LineIndex::LineIndex(std::string_view text)
    : text_(text), starts_(yaml::TextLines(text).starts()) {}

std::string_view LineIndex::line(std::size_t i) const {
  if (i >= starts_.size()) return {};
  std::size_t end = i + 1 < starts_.size() ? starts_[i + 1] : text_.size();
  while (end > starts_[i] && (text_[end - 1] == '\n' || text_[end - 1] == '\r')) --end;
  return text_.substr(starts_[i], end - starts_[i]);
}

std::size_t LineIndex::offset(Position p) const {
  if (p.line >= starts_.size()) return text_.size();
  const std::string_view l = line(p.line);
  std::size_t bytes = 0;
  for (std::uint32_t units = 0; bytes < l.size() && units < p.character;) {
    const std::size_t n = std::min(sequence_length(static_cast<unsigned char>(l[bytes])),
                                   l.size() - bytes);
    units += n == 4 ? 2 : 1;
    bytes += n;
  }
  return starts_[p.line] + bytes;
}

Position LineIndex::position(std::size_t offset) const {
  offset = std::min(offset, text_.size());
  const auto it = std::upper_bound(starts_.begin(), starts_.end(), offset);
  const std::size_t line_no = static_cast<std::size_t>(it - starts_.begin()) - 1;
  const std::string_view l = line(line_no);
  const std::size_t within = std::min(offset - starts_[line_no], l.size());
  std::uint32_t units = 0;
  for (std::size_t bytes = 0; bytes < within;) {
    const std::size_t n = sequence_length(static_cast<unsigned char>(l[bytes]));
    units += n == 4 ? 2 : 1;
    bytes += n;
  }
  return {static_cast<std::uint32_t>(line_no), units};
}

std::uint32_t LineIndex::utf16_column(std::size_t line_no, std::size_t code_points) const {
  return static_cast<std::uint32_t>(yaml::utf16_units(line(line_no), code_points));
}

std::size_t LineIndex::code_point_column(std::size_t line_no, std::uint32_t utf16) const {
  const std::string_view l = line(line_no);
  std::size_t points = 0;
  std::size_t bytes = 0;
  for (std::uint32_t units = 0; units < utf16 && bytes < l.size(); ++points) {
    const std::size_t n = sequence_length(static_cast<unsigned char>(l[bytes]));
    units += n == 4 ? 2 : 1;
    bytes += n;
  }
  return points;
}

Position LineIndex::from_mark(yaml::Mark mark) const {
  if (!mark.known()) return {};
  const std::size_t line_no = mark.line - 1;
  const std::size_t column = mark.column > 0 ? mark.column - 1 : 0;
  return {static_cast<std::uint32_t>(line_no), utf16_column(line_no, column)};
}

}  // namespace tarnwick::lsp
