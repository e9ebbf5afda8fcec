// Where each node of a text ends, found by one more event scan: reports want the whole span of
// an offending node, and the node itself keeps only its start (its size is measured).
#pragma once

#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml {

class NodeEnds {
 public:
  // The end of the node that starts at `start` (just past its last character, 1-based like
  // Mark); nullopt when no node starts there. When a collection and its first item start at the
  // same place, the collection (the outer node) answers.
  std::optional<Mark> end_of(Mark start) const;
  // The end of the innermost node that starts there: a mapping's first key rather than the
  // mapping, for a fault that is about the key itself.
  std::optional<Mark> inner_end_of(Mark start) const;

  // Spans (start, end) in the order their ends were found: of two spans with one start, the
  // later found is the outer node.
  explicit NodeEnds(std::vector<std::pair<Mark, Mark>> spans);
  NodeEnds() = default;

 private:
  struct Span {
    Mark start;
    Mark outer;  // end of the outermost node starting there
    Mark inner;  // end of the innermost one
  };
  const Span* find(Mark start) const;

  std::vector<Span> spans_;  // sorted by start
};

// Scans text as YAML once; a malformed text gives the ends found before the fault. Call it only
// when a report needs the ends: it costs a second pass.
NodeEnds node_ends(std::string_view text);

// Where each of `paths` (keys and sequence indexes from the root) is written: the mark of its
// last key, or of the item for an index, and how many of its steps were found. A path not found
// whole gets the mark of its longest prefix that was (none found: steps == 0, an unknown mark).
// Keys brought in by merges or aliases are not followed. One more scan: for reports only.
struct Located {
  Mark mark;
  std::size_t steps = 0;
  Mark value;  // a path found whole that ends with a key: where the key's value starts
};
std::vector<Located> locate(std::string_view text, const std::vector<Path>& paths);

}  // namespace tarnwick::yaml
