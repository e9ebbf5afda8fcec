// A text's lines as the reader counts them, and its marks' columns in UTF-16 code units: the
// reader counts columns in characters, editors and SARIF consumers in UTF-16 code units.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml {

// The UTF-16 code units of the first `characters` characters of a UTF-8 line: two for a
// character of four bytes, one for any other (a stray byte counts as one character), one each
// past the line's end.
std::size_t utf16_units(std::string_view line, std::size_t characters);

// The lines of one text (which must outlive it), split where the reader splits them: at LF,
// CRLF or CR.
class TextLines {
 public:
  explicit TextLines(std::string_view text);

  std::size_t count() const { return starts_.size(); }
  // The byte offset where each line starts (line n at index n - 1).
  const std::vector<std::size_t>& starts() const { return starts_; }
  // Line n (1-based, as marks count) without its line break; empty when there is no such line.
  std::string_view line(std::uint32_t n) const;
  // A mark's 1-based column counted in UTF-16 code units of its line; 0 for an unknown mark.
  std::uint32_t utf16_column(Mark mark) const;
  // The byte offset of a mark (its column counted in characters): a column past its line's end
  // is clamped to the end, a line past the text's to the text's end; line 0 is the start.
  std::size_t offset(Mark mark) const;

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;  // byte offset where each line starts
};

}  // namespace tarnwick::yaml
