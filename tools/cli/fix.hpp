// check --fix: the fixes the load made for a document's faults, applied to its text as edits at
// their ranges (every other byte stays as written), and shown as a unified diff.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "tarnwick/core/errors.hpp"

namespace tarnwick::cli {

// One replacement of the text's bytes [begin, end).
struct TextEdit {
  std::size_t begin = 0;
  std::size_t end = 0;
  std::string text;
  friend bool operator==(const TextEdit&, const TextEdit&) = default;
};

// The byte offset of a reader's mark (1-based line, 1-based column in characters) in `text`;
// a column past its line's end is that line's end, a line past the text's end the text's end.
std::size_t byte_offset(std::string_view text, yaml::Mark mark);

// The edits of the faults' fixes, in text order. A fault without a fix, or whose fix has no
// range, gives none; a fix that overlaps one before it is left out (it mends the same text, and
// the check after the first tells whether it is still needed); the same edit twice is made once.
// Unsafe fixes (they change a value) only with `unsafe`; `left` counts those left out.
std::vector<TextEdit> fix_edits(std::string_view text,
                                std::span<const std::span<const core::ErrorDetail>> faults,
                                bool unsafe, std::size_t& left);

// The text with the edits (in text order, not overlapping) made.
std::string apply_edits(std::string_view text, const std::vector<TextEdit>& edits);

// A unified diff (3 lines of context) from `before` to `after`, where `after` is `before` with
// `edits` made, under the name `name` (as "--- a/NAME", "+++ b/NAME"); empty without edits.
std::string unified_diff(std::string_view name, std::string_view before, std::string_view after,
                         const std::vector<TextEdit>& edits);

}  // namespace tarnwick::cli
