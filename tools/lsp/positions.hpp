// Positions as the protocol counts them (0-based lines, UTF-16 code units) against byte offsets of
// the text and the reader's marks (1-based lines, 1-based columns counted in characters).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::lsp {

struct Position {
  std::uint32_t line = 0;       // 0-based
  std::uint32_t character = 0;  // UTF-16 code units from the start of the line
  friend bool operator==(const Position&, const Position&) = default;
  friend auto operator<=>(const Position&, const Position&) = default;
};

struct Range {
  Position start;
  Position end;
  friend bool operator==(const Range&, const Range&) = default;
};

nlohmann::json to_json(Position p);
nlohmann::json to_json(const Range& r);
// Nullopt-free reading: missing or wrong members read as 0, so a sloppy client never throws here.
Position position_of(const nlohmann::json& j);
Range range_of(const nlohmann::json& j);

// The lines of one text (which must outlive the index). Line breaks are LF, CRLF or CR, as YAML
// reads them.
class LineIndex {
 public:
  explicit LineIndex(std::string_view text);

  std::string_view text() const { return text_; }
  std::size_t line_count() const { return starts_.size(); }
  // A line without its line break; empty past the end.
  std::string_view line(std::size_t i) const;

  // Byte offset of a position; a character past the line's end is clamped to it, a line past the
  // end to the end of the text. A position inside a surrogate pair counts as after the character.
  std::size_t offset(Position p) const;
  Position position(std::size_t offset) const;

  // A reader's mark; an unknown mark is the start of the text.
  Position from_mark(yaml::Mark mark) const;
  // A 0-based character column of line `line` (code points) in UTF-16 units, and back.
  std::uint32_t utf16_column(std::size_t line, std::size_t code_points) const;
  std::size_t code_point_column(std::size_t line, std::uint32_t utf16) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;  // byte offset where each line starts
};

}  // namespace tarnwick::lsp
