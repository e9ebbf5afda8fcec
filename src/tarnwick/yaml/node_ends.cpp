#include "tarnwick/yaml/node_ends.hpp"

#include <algorithm>
#include <string>
#include <unordered_map>

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

namespace {

// A path as one string, each step led by a separator no key text needs.
void append_step(std::string& out, const PathPart& step) {
  if (const auto* key = std::get_if<std::string>(&step)) {
    out += "\x1fk";
    out += *key;
  } else {
    out += "\x1fi" + std::to_string(std::get<std::int64_t>(step));
  }
}

// Walks the events keeping the path of the node being read; `seen(path, mark, value)` hears every
// key (at the key's mark), every key's value (value true) and every sequence item (at its start).
class PathWalk {
 public:
  template <class Seen>
  void node_starts(const yaml_event_t& event, Seen&& seen) {
    if (frames_.empty()) return;  // the root
    Frame& top = frames_.back();
    if (!top.map) {
      append_step(path_, PathPart{static_cast<std::int64_t>(top.index)});
      seen(path_, detail::mark_of(event.start_mark), false);
    } else if (top.expect_key) {
      const bool scalar = event.type == YAML_SCALAR_EVENT;
      const std::string key =
          scalar ? std::string(reinterpret_cast<const char*>(event.data.scalar.value),
                               event.data.scalar.length)
                 : std::string("\x1e");  // a complex key: nothing under it is asked for
      append_step(path_, PathPart{key});
      if (scalar) seen(path_, detail::mark_of(event.start_mark), false);
    } else {
      seen(path_, detail::mark_of(event.start_mark), true);
    }
  }
  void collection_starts(bool map) { frames_.push_back({map, true, 0, path_.size()}); }
  void collection_ends() {
    if (!frames_.empty()) frames_.pop_back();
    item_done();
  }
  // A scalar or alias was read whole, or a collection ended: the enclosing item is done.
  void item_done() {
    if (frames_.empty()) return;
    Frame& top = frames_.back();
    if (top.map && top.expect_key) {
      top.expect_key = false;  // the key was read; its value keeps the key's path
      return;
    }
    path_.resize(top.base);
    if (top.map) {
      top.expect_key = true;
    } else {
      ++top.index;
    }
  }

 private:
  struct Frame {
    bool map;
    bool expect_key;
    std::size_t index;
    std::size_t base;  // the path's length at the collection itself
  };
  std::vector<Frame> frames_;
  std::string path_;
};

}  // namespace

std::vector<Located> locate(std::string_view text, const std::vector<Path>& paths) {
  std::vector<Located> out(paths.size());
  if (text.empty() || paths.empty()) return out;
  // Every prefix of every path, with the mark it is found at.
  struct Found {
    Mark at;
    Mark value;  // of a key's value
  };
  std::unordered_map<std::string, Found> wanted;
  for (const Path& path : paths) {
    std::string joined;
    for (const auto& step : path) {
      append_step(joined, step);
      wanted.emplace(joined, Found{});
    }
  }
  const auto seen = [&wanted](const std::string& path, Mark mark, bool value) {
    const auto it = wanted.find(path);
    if (it == wanted.end()) return;
    Mark& found = value ? it->second.value : it->second.at;
    if (!found.known()) found = mark;
  };
  detail::Parser parser(text);
  PathWalk walk;
  for (bool done = false; !done;) {
    detail::Event e;
    if (!yaml_parser_parse(parser.get(), &e.event)) break;
    const yaml_event_t& event = e.event;
    switch (event.type) {
      case YAML_SCALAR_EVENT:
      case YAML_ALIAS_EVENT:
        walk.node_starts(event, seen);
        walk.item_done();
        break;
      case YAML_SEQUENCE_START_EVENT:
      case YAML_MAPPING_START_EVENT:
        walk.node_starts(event, seen);
        walk.collection_starts(event.type == YAML_MAPPING_START_EVENT);
        break;
      case YAML_SEQUENCE_END_EVENT:
      case YAML_MAPPING_END_EVENT:
        walk.collection_ends();
        break;
      case YAML_DOCUMENT_END_EVENT:
      case YAML_STREAM_END_EVENT:
        done = true;  // only the first document is the configuration
        break;
      default:
        break;
    }
  }
  for (std::size_t i = 0; i < paths.size(); ++i) {
    std::string joined;
    for (std::size_t step = 0; step < paths[i].size(); ++step) {
      append_step(joined, paths[i][step]);
      const Found& found = wanted[joined];
      if (!found.at.known()) break;
      out[i] = {found.at, step + 1, found.value};
    }
  }
  return out;
}

}  // namespace tarnwick::yaml
