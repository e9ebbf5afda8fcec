#include "tarnwick/yaml/node_ends.hpp"

#include <yaml.h>

#include <algorithm>
#include <iterator>
#include <new>

namespace tarnwick::yaml {

namespace {

Mark mark_of(const yaml_mark_t& m) {
  return Mark{static_cast<std::uint32_t>(m.line + 1), static_cast<std::uint32_t>(m.column + 1)};
}

bool before(const Mark& a, const Mark& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

}  // namespace

std::optional<Mark> NodeEnds::end_of(Mark start) const {
  const auto it =
      std::lower_bound(spans_.begin(), spans_.end(), start,
                       [](const auto& span, const Mark& m) { return before(span.first, m); });
  if (it == spans_.end() || it->first != start) return std::nullopt;
  return it->second;
}

NodeEnds::NodeEnds(std::vector<std::pair<Mark, Mark>> spans) : spans_(std::move(spans)) {
  std::stable_sort(spans_.begin(), spans_.end(),
                   [](const auto& a, const auto& b) { return before(a.first, b.first); });
  // Keep the last of each run of equal starts: the outer node.
  auto out = spans_.begin();
  for (auto it = spans_.begin(); it != spans_.end(); ++it) {
    if (std::next(it) != spans_.end() && std::next(it)->first == it->first) continue;
    *out++ = *it;
  }
  spans_.erase(out, spans_.end());
}

NodeEnds node_ends(std::string_view text) {
  if (text.empty()) return {};  // libyaml takes no null input, and there is no node
  std::vector<std::pair<Mark, Mark>> spans;
  yaml_parser_t parser;
  if (!yaml_parser_initialize(&parser)) throw std::bad_alloc();
  yaml_parser_set_input_string(&parser, reinterpret_cast<const unsigned char*>(text.data()),
                               text.size());
  // A collection's end is known at its end event: the starts wait on an explicit stack, so a
  // deep document costs no recursion.
  std::vector<Mark> open;
  yaml_event_t event;
  bool done = false;
  while (!done && yaml_parser_parse(&parser, &event)) {
    switch (event.type) {
      case YAML_SCALAR_EVENT:
      case YAML_ALIAS_EVENT:
        spans.emplace_back(mark_of(event.start_mark), mark_of(event.end_mark));
        break;
      case YAML_SEQUENCE_START_EVENT:
      case YAML_MAPPING_START_EVENT:
        open.push_back(mark_of(event.start_mark));
        break;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        if (!open.empty()) {
          spans.emplace_back(open.back(), mark_of(event.end_mark));
          open.pop_back();
        }
        break;
      case YAML_STREAM_END_EVENT:
        done = true;
        break;
      default:
        break;
    }
    yaml_event_delete(&event);
  }
  yaml_parser_delete(&parser);
  return NodeEnds(std::move(spans));
}

}  // namespace tarnwick::yaml
