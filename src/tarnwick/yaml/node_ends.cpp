#include "tarnwick/yaml/node_ends.hpp"

#include <algorithm>
#include <iterator>

#include "libyaml_handles.hpp"

namespace tarnwick::yaml {

namespace {

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
  if (text.empty()) return {};  // there is no node
  std::vector<std::pair<Mark, Mark>> spans;
  detail::Parser parser(text);
  // A collection's end is known at its end event: the starts wait on an explicit stack, so a
  // deep document costs no recursion.
  std::vector<Mark> open;
  for (bool done = false; !done;) {
    detail::Event e;
    if (!yaml_parser_parse(parser.get(), &e.event)) break;
    const yaml_event_t& event = e.event;
    switch (event.type) {
      case YAML_SCALAR_EVENT:
      case YAML_ALIAS_EVENT:
        spans.emplace_back(detail::mark_of(event.start_mark), detail::mark_of(event.end_mark));
        break;
      case YAML_SEQUENCE_START_EVENT:
      case YAML_MAPPING_START_EVENT:
        open.push_back(detail::mark_of(event.start_mark));
        break;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        if (!open.empty()) {
          spans.emplace_back(open.back(), detail::mark_of(event.end_mark));
          open.pop_back();
        }
        break;
      case YAML_STREAM_END_EVENT:
        done = true;
        break;
      default:
        break;
    }
  }
  return NodeEnds(std::move(spans));
}

}  // namespace tarnwick::yaml
