// Item release: the memory regions that items of taken sequences are read into, the leases that
// keep them, and the anchors defined inside them (copied out before the memory is reused).
#pragma once

#include <cstddef>
#include <cstdint>
#include <unordered_map>
#include <vector>

#include "tarnwick/yaml/item_stream.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml::detail {

// Outstanding leases, per region. It outlives the reader while leases are out, so that a lease
// returned after the read has ended (or failed) touches nothing of it; the last one deletes it.
struct LeaseHub {
  std::vector<std::size_t> leases;  // per region (by its place on the stack of open regions)
  std::size_t out = 0;              // every lease not yet returned
  bool reader_alive = true;

  static ItemLease lease(LeaseHub* hub, std::uint32_t region) {
    ++hub->leases[region];
    ++hub->out;
    return ItemLease(hub, region);
  }
};

// Regions nest as the taken sequences do: a sequence's region is open from the start of an item
// that is a collection until every lease of it is back and no item is being read into it. Only
// then is its memory rewound; a region is never rewound from inside a lease's return, only at the
// reader's settle() after the consumer's call, so a consumer's unwinding cannot reach it.
class ItemRelease {
 public:
  explicit ItemRelease(Document& doc);
  ~ItemRelease();
  ItemRelease(const ItemRelease&) = delete;
  ItemRelease& operator=(const ItemRelease&) = delete;

  // A collection starts as an item of the taken sequence at `depth`: it is read into that
  // sequence's region, opened now when there is none.
  void begin_item(std::size_t depth);
  // An item of the sequence at `depth` is complete: a lease on its region (an empty one when it
  // has none: a scalar or an alias read outside every region of it).
  ItemLease lease(std::size_t depth);
  // Nodes read into the region of the sequence at `depth`.
  std::size_t region_nodes(std::size_t depth) const;
  // Rewinds the innermost regions whose leases are all back and that no item is read into.
  void settle();
  // Whether the sequence at `depth` still has a region (so a lease out).
  bool holds(std::size_t depth) const { return top_is(depth); }

  // An anchor on a transient node: `*node` is replaced by a lasting copy before its region goes.
  void note_anchor(const Node** node) { anchors_.push_back(node); }

 private:
  struct Region {
    std::size_t depth;  // of the taken sequence
    Document::Checkpoint checkpoint;
    std::size_t anchors_begin;  // its anchors on anchors_
    std::size_t nodes_begin;    // the document's node count when it opened
    bool reading;               // an item is being read into it
  };

  bool top_is(std::size_t depth) const {
    return !regions_.empty() && regions_.back().depth == depth;
  }
  void rewind_top();

  Document& doc_;
  LeaseHub* hub_;
  std::vector<Region> regions_;
  std::vector<const Node**> anchors_;
  std::unordered_map<const Node*, const Node*> kept_;
};

}  // namespace tarnwick::yaml::detail
