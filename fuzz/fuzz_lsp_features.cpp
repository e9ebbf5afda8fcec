// Arbitrary text through what the language server computes from a document: the whole check as
// diagnostics, the outline, and hover and completion at positions spread over the text (line
// starts, ends and middles, and a few past them). Nothing may throw, crash or read outside the
// text; every answer must be the protocol's shape.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include <nlohmann/json.hpp>

#include "lsp/diagnostics.hpp"
#include "lsp/features.hpp"
#include "lsp/outline.hpp"
#include "lsp/positions.hpp"

namespace lsp = tarnwick::lsp;

namespace {

void require(bool ok) {
  if (!ok) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const bool discovery_only = size > 0 && (data[0] & 1) != 0;
  require(lsp::diagnostics("file:///f.yaml", text, discovery_only).is_array());
  const lsp::LineIndex doc(text);
  if (auto outline = lsp::document_symbols(doc)) require(outline->is_array());
  // Lines are sampled so that a long input still runs quickly.
  const std::size_t lines = doc.line_count();
  const std::size_t step = std::max<std::size_t>(1, lines / 16);
  for (std::size_t line = 0; line <= lines; line += step) {
    const auto width = static_cast<std::uint32_t>(doc.line(line).size());
    for (std::uint32_t c : {0u, width / 2, width + 3}) {
      const lsp::Position at{static_cast<std::uint32_t>(line), c};
      const nlohmann::json hover = lsp::hover(doc, at);
      require(hover.is_null() || hover.contains("contents"));
      require(lsp::completion(doc, at).is_array());
    }
  }
  return 0;
}
