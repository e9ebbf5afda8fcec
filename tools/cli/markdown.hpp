// Markdown pieces the tool's renderings share (explain's reference, diff's tables).
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::cli::markdown {

// `text` as inline code, fenced by more backticks than it holds in a row.
inline std::string code(std::string_view text) {
  std::size_t run = 0, longest = 0;
  for (const char c : text) {
    run = c == '`' ? run + 1 : 0;
    longest = std::max(longest, run);
  }
  const std::string fence(longest + 1, '`');
  const char* pad = longest > 0 ? " " : "";
  return fence + pad + std::string(text) + pad + fence;
}

// A table cell: a bar would end it, a line break would end the row.
inline std::string cell(std::string_view text) {
  std::string out;
  for (const char c : text) {
    if (c == '|') out += '\\';
    out += c == '\n' ? ' ' : c;
  }
  return out;
}

}  // namespace tarnwick::cli::markdown
