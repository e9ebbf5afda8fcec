#include "tarnwick/yaml/text_lines.hpp"

#include <algorithm>

namespace tarnwick::yaml {

namespace {

// Bytes of the UTF-8 sequence a lead byte starts; a stray byte is a character of its own.
std::size_t sequence_length(unsigned char lead) {
  if (lead < 0xC0) return 1;
  if (lead < 0xE0) return 2;
  if (lead < 0xF0) return 3;
  return lead < 0xF8 ? 4 : 1;
}

}  // namespace

std::size_t utf16_units(std::string_view line, std::size_t characters) {
  std::size_t units = 0;
  std::size_t bytes = 0;
  for (std::size_t c = 0; c < characters; ++c) {
    if (bytes >= line.size()) return units + (characters - c);
    const std::size_t n = sequence_length(static_cast<unsigned char>(line[bytes]));
    units += n == 4 ? 2 : 1;
    bytes += n;
  }
  return units;
}

TextLines::TextLines(std::string_view text) : text_(text) {
  starts_.push_back(0);
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n') {
      starts_.push_back(i + 1);
    } else if (text[i] == '\r') {
      if (i + 1 < text.size() && text[i + 1] == '\n') ++i;
      starts_.push_back(i + 1);
    }
  }
}

std::string_view TextLines::line(std::uint32_t n) const {
  if (n == 0 || n > starts_.size()) return {};
  const std::size_t start = starts_[n - 1];
  std::size_t end = n < starts_.size() ? starts_[n] : text_.size();
  while (end > start && (text_[end - 1] == '\n' || text_[end - 1] == '\r')) --end;
  return text_.substr(start, end - start);
}

std::uint32_t TextLines::utf16_column(Mark mark) const {
  if (!mark.known() || mark.column == 0) return 0;
  return static_cast<std::uint32_t>(1 + utf16_units(line(mark.line), mark.column - 1));
}

std::size_t TextLines::offset(Mark mark) const {
  if (mark.line == 0) return 0;
  if (mark.line > starts_.size()) return text_.size();
  std::size_t at = starts_[mark.line - 1];
  const std::size_t end = at + line(mark.line).size();
  for (std::uint32_t c = 1; c < mark.column && at < end; ++c) {
    at = std::min(end, at + sequence_length(static_cast<unsigned char>(text_[at])));
  }
  return at;
}

}  // namespace tarnwick::yaml
