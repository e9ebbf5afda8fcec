// The event loop: one pass over libyaml's events with an explicit stack of open collections, so
// the depth of the input never reaches the C++ stack.
#pragma once

#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "budget.hpp"
#include "event_source.hpp"
#include "item_release.hpp"
#include "mapping_builder.hpp"
#include "tarnwick/yaml/item_stream.hpp"
#include "tarnwick/yaml/reader.hpp"
#include "tarnwick/yaml/resolver.hpp"

namespace tarnwick::yaml::detail {

class Reader {
 public:
  Reader(std::string_view input, std::string name, ItemStream* stream, const Limits& limits);
  // A file read in pieces: no text to quote in a syntax fault's message.
  Reader(FilePieces& pieces, std::string name, ItemStream* stream, const Limits& limits);
  Document run();

 private:
  Reader(std::string_view input, FilePieces* pieces, std::size_t input_bytes, std::string name,
         ItemStream* stream, const Limits& limits);

  struct Anchor {
    const Node* node;
    std::size_t expanded;  // nodes in the tree the anchored node stands for
    Mark mark;
    bool complete;  // false while the anchored collection is still open
    // Scalar text in the tree it stands for.
    std::size_t text_bytes = 0;
  };

  struct Frame {
    Node* node;
    Anchor* anchor;           // the collection's own anchor, or null
    std::size_t begin;        // its first item or entry on the scratch stack
    std::size_t merge_begin;  // its first merge source on merges_
    std::size_t expanded = 1;
    std::size_t count = 0;      // children completed (sequence index for paths)
    const Node* key = nullptr;  // mapping: the key awaiting its value
    Mark key_mark;
    bool key_is_merge = false;
    bool merge_seq = false;  // sequence written as the value of a merge key
    bool taken = false;      // a sequence whose items the stream takes
    // Scalar text of its children so far, aliases expanded.
    std::size_t text_bytes = 0;
    Place place = nullptr;       // where the stream follows it
    Place item_place = nullptr;  // sequence: where the stream follows its items
  };

  struct StringHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return std::hash<std::string_view>{}(s); }
  };

  // Most faults found past libyaml are about what a node means, as a loader's constructing step.
  [[noreturn]] void fail(std::string problem, Mark mark,
                         YamlStage stage = YamlStage::constructor) const {
    throw YamlError(std::move(problem), doc_.name(), mark, stage);
  }
  [[noreturn]] void fail_parser(const ParserFault& p) const;
  Mark mark_at_offset(std::size_t offset) const;
  Mark last_character_mark() const;
  // "; the line reads \"LINE\"": the line of a syntax fault, cut short when long.
  std::string quote_line(Mark mark) const;
  std::size_t offset_of(Mark mark) const;

  bool expecting_key() const {
    return !frames_.empty() && frames_.back().node->is_map() && frames_.back().key == nullptr;
  }
  bool in_merge_value() const {
    if (frames_.empty()) return false;
    const Frame& f = frames_.back();
    return f.node->is_map() ? (f.key != nullptr && f.key_is_merge) : f.merge_seq;
  }
  void note_text(std::size_t bytes) {
    if (!frames_.empty()) frames_.back().text_bytes = sat_add(frames_.back().text_bytes, bytes);
  }

  void on_event(const ParsedEvent& e, int& documents, bool& done);
  void on_scalar(const ParsedEvent& e);
  ResolvedScalar resolve_tagged_scalar(std::string_view tag, std::string_view text, bool key,
                                       Mark mark) const;
  void on_alias(const ParsedEvent& e);
  void on_start(const ParsedEvent& e, bool is_map);
  void on_end();
  StandardTag collection_tag(std::optional<std::string_view> tag, bool is_map, Mark mark) const;
  Node* make_scalar(const ResolvedScalar& r, std::string_view text, bool plain, Mark mark);
  Anchor* define_anchor(std::string_view name, const Node* node, Mark mark, bool complete);
  void add_child(const Node* n, std::size_t expanded, Mark mark, bool alias);
  void add_item(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias);
  void add_merge(Frame& f, const Node* n, std::size_t expanded, Mark mark, bool alias);
  void finish_seq(const Frame& f);
  void finish_map(const Frame& f);

  // The item stream's side: places, taken items, the end of a taken sequence.
  void follow(Frame& f, bool is_map, StandardTag tag, bool merge_value);
  void take_item(Frame& f, const Node* item);
  void end_of_items(const Frame& f);
  std::span<const PathStep> path_steps(std::size_t frames);

  std::string_view input_;
  FilePieces* pieces_;
  ItemStream* stream_;
  const std::size_t max_depth_;  // held by value: read on every event
  const std::size_t max_scalar_bytes_;
  const std::size_t parse_ahead_bytes_;
  Document doc_;
  ExpansionBudget budget_;
  ItemRelease release_;
  MapBuilder map_builder_;
  DuplicateLog duplicates_;
  const Node* taken_placeholder_ = nullptr;  // what a taken item leaves in the tree
  std::size_t anchored_open_ = 0;            // open collections that carry an anchor
  std::vector<PathStep> path_;
  const Node* root_ = nullptr;
  std::vector<Frame> frames_;
  // Children of open collections, stacked; a collection takes its slice when it closes, so each
  // node's vector is allocated once at its final size.
  std::vector<const Node*> items_;
  std::vector<OwnEntry> entries_;
  std::vector<const Node*> merges_;  // merge sources of open mappings, in merge order
  std::unordered_map<std::string, Anchor, StringHash, std::equal_to<>> anchors_;
};

}  // namespace tarnwick::yaml::detail
