#include "cli/fix.hpp"

#include <algorithm>

#include "tarnwick/yaml/text_lines.hpp"

namespace tarnwick::cli {

namespace {

// Lines as a unified diff counts them: split after each LF, the last one possibly without it.
std::vector<std::size_t> line_starts(std::string_view text) {
  std::vector<std::size_t> starts{0};
  for (std::size_t i = 0; i + 1 < text.size(); ++i) {
    if (text[i] == '\n') starts.push_back(i + 1);
  }
  return starts;
}

std::size_t line_of(const std::vector<std::size_t>& starts, std::size_t offset) {
  return static_cast<std::size_t>(std::upper_bound(starts.begin(), starts.end(), offset) -
                                  starts.begin()) -
         1;
}

std::vector<std::string_view> split_lines(std::string_view text) {
  std::vector<std::string_view> lines;
  while (!text.empty()) {
    const std::size_t n = text.find('\n');
    const std::size_t take = n == std::string_view::npos ? text.size() : n + 1;
    lines.push_back(text.substr(0, take));
    text.remove_prefix(take);
  }
  return lines;
}

// Consecutive lines [first, last] of the old text and what the edits made of them.
struct Block {
  std::size_t first, last;
  std::vector<std::string_view> removed;
  std::string added;  // the new text of those lines
};

std::vector<Block> blocks_of(std::string_view before, const std::vector<std::size_t>& starts,
                             const std::vector<TextEdit>& edits) {
  std::vector<Block> blocks;
  std::vector<std::size_t> cuts;  // per block: the bytes [from, to) of `before` it spans
  for (const TextEdit& e : edits) {
    const std::size_t first = line_of(starts, e.begin);
    const std::size_t last = line_of(starts, e.end > e.begin ? e.end - 1 : e.begin);
    if (blocks.empty() || first > blocks.back().last) {
      blocks.push_back({first, last, {}, {}});
      cuts.push_back(starts[first]);
    }
    Block& b = blocks.back();
    b.last = std::max(b.last, last);
    b.added += before.substr(cuts.back(), e.begin - cuts.back());
    b.added += e.text;
    cuts.back() = e.end;
  }
  for (std::size_t i = 0; i < blocks.size(); ++i) {
    Block& b = blocks[i];
    const std::size_t end = b.last + 1 < starts.size() ? starts[b.last + 1] : before.size();
    b.added += before.substr(cuts[i], end - cuts[i]);
    b.removed = split_lines(before.substr(starts[b.first], end - starts[b.first]));
  }
  return blocks;
}

void add_line(std::string& out, char sign, std::string_view line) {
  out += sign;
  out += line;
  if (!line.ends_with('\n')) out += "\n\\ No newline at end of file\n";
}

// "@@ -START,COUNT": a count of one is left out, an empty range starts at the line before it.
std::string range(std::size_t start, std::size_t count) {
  if (count == 0) return std::to_string(start - 1) + ",0";
  if (count == 1) return std::to_string(start);
  return std::to_string(start) + "," + std::to_string(count);
}

}  // namespace

std::size_t byte_offset(std::string_view text, yaml::Mark mark) {
  return yaml::TextLines(text).offset(mark);
}

std::vector<TextEdit> fix_edits(std::string_view text,
                                std::span<const std::span<const core::ErrorDetail>> faults,
                                bool unsafe, std::size_t& left) {
  const yaml::TextLines lines(text);  // split once, not for every fix
  std::vector<TextEdit> edits;
  left = 0;
  for (const std::span<const core::ErrorDetail> group : faults) {
    for (const core::ErrorDetail& f : group) {
      if (!f.fix || !f.fix->start.known() || !f.fix->end.known()) continue;
      if (f.fix->applicability == core::Applicability::unsafe && !unsafe) {
        ++left;
        continue;
      }
      const std::size_t begin = lines.offset(f.fix->start);
      const std::size_t end = std::max(begin, lines.offset(f.fix->end));
      edits.push_back({begin, end, f.fix->text});
    }
  }
  std::stable_sort(edits.begin(), edits.end(),
                   [](const TextEdit& a, const TextEdit& b) { return a.begin < b.begin; });
  std::vector<TextEdit> kept;
  for (TextEdit& e : edits) {
    if (!kept.empty() && (e == kept.back() || e.begin < kept.back().end)) continue;
    kept.push_back(std::move(e));
  }
  return kept;
}

std::string apply_edits(std::string_view text, const std::vector<TextEdit>& edits) {
  std::string out;
  std::size_t at = 0;
  for (const TextEdit& e : edits) {
    out += text.substr(at, e.begin - at);
    out += e.text;
    at = e.end;
  }
  out += text.substr(at);
  return out;
}

std::string unified_diff(std::string_view name, std::string_view before, std::string_view after,
                         const std::vector<TextEdit>& edits) {
  if (edits.empty() || before == after) return {};
  constexpr std::size_t kContext = 3;
  const std::vector<std::size_t> starts = line_starts(before);
  const std::vector<std::string_view> old_lines = split_lines(before);
  const std::vector<Block> blocks = blocks_of(before, starts, edits);
  std::string out = "--- a/" + std::string(name) + "\n+++ b/" + std::string(name) + "\n";
  long delta = 0;  // new line numbers less old ones, before the current hunk
  for (std::size_t i = 0; i < blocks.size();) {
    std::size_t j = i;  // the hunk's blocks are [i, j]: gaps of at most twice the context
    while (j + 1 < blocks.size() && blocks[j + 1].first - blocks[j].last <= 2 * kContext + 1) ++j;
    const std::size_t from = blocks[i].first > kContext ? blocks[i].first - kContext : 0;
    const std::size_t to = std::min(old_lines.size(), blocks[j].last + 1 + kContext);
    std::string body;
    std::size_t at = from, added = 0, removed = 0;
    for (std::size_t k = i; k <= j; ++k) {
      for (; at < blocks[k].first; ++at) add_line(body, ' ', old_lines[at]);
      for (std::string_view line : blocks[k].removed) add_line(body, '-', line);
      const std::vector<std::string_view> new_lines = split_lines(blocks[k].added);
      for (std::string_view line : new_lines) add_line(body, '+', line);
      removed += blocks[k].removed.size();
      added += new_lines.size();
      at = blocks[k].last + 1;
    }
    for (; at < to; ++at) add_line(body, ' ', old_lines[at]);
    const std::size_t old_count = to - from;
    const std::size_t new_count = old_count - removed + added;
    out += "@@ -" + range(from + 1, old_count) + " +" +
           range(static_cast<std::size_t>(static_cast<long>(from + 1) + delta), new_count) +
           " @@\n" + body;
    delta += static_cast<long>(added) - static_cast<long>(removed);
    i = j + 1;
  }
  return out;
}

}  // namespace tarnwick::cli
