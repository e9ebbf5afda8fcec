// Synthetic migration documents for the benchmarks: A accounts x R regions x V VPCs per region,
// using every section, comments, anchors, aliases and merge keys, valid in migration mode.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick::bench {

struct Shape {
  std::size_t accounts = 1;
  std::size_t regions = 2;  // per account, at most 22
  std::size_t vpcs = 3;     // per region
  bool flow = false;        // sections written in flow style ({...}, [...]) instead of block style
  // The next wave's document, for diff: some VPCs left out, some zones and account sizes changed.
  bool revised = false;
};

// The standard sizes: "small" (1x2x3), "medium" (20x4x25), "large" (100x5x100). False when the
// name is unknown.
bool standard_shape(std::string_view name, Shape& out);

// The whole document's text.
std::string generate(const Shape& shape);

}  // namespace tarnwick::bench
