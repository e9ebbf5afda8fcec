#include "tarnwick/yaml/node_ends.hpp"

#include <algorithm>

#include "libyaml_handles.hpp"

namespace tarnwick::yaml {

namespace {

bool before(const Mark& a, const Mark& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

}  // namespace

const NodeEnds::Span* NodeEnds::find(Mark start) const {
  const auto it =
      std::lower_bound(spans_.begin(), spans_.end(), start,
                       [](const Span& span, const Mark& m) { return before(span.start, m); });
  if (it == spans_.end() || it->start != start) return nullptr;
  return &*it;
}

std::optional<Mark> NodeEnds::end_of(Mark start) const {
  const Span* span = find(start);
  if (span == nullptr) return std::nullopt;
  return span->outer;
}

std::optional<Mark> NodeEnds::inner_end_of(Mark start) const {
  const Span* span = find(start);
  if (span == nullptr) return std::nullopt;
  return span->inner;
}

NodeEnds::NodeEnds(std::vector<std::pair<Mark, Mark>> spans) {
  std::stable_sort(spans.begin(), spans.end(),
                   [](const auto& a, const auto& b) { return before(a.first, b.first); });
  // Of a run of equal starts, the first found is the inner node and the last the outer one.
  for (std::size_t i = 0; i < spans.size();) {
    std::size_t last = i;
    while (last + 1 < spans.size() && spans[last + 1].first == spans[i].first) ++last;
    spans_.push_back({spans[i].first, spans[last].second, spans[i].second});
    i = last + 1;
  }
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
