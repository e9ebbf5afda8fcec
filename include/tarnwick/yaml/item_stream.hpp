// Handing over the items of long sequences while the rest of the document is still being read,
// so that a long list of large items never has to be held as one tree.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml {

// Where a collection lies, as the consumer tracks it; opaque to the reader. nullptr: a place the
// consumer does not follow (the reader asks nothing below it).
using Place = const void*;

namespace detail {
struct LeaseHub;
}

// Keeps the nodes of one taken item valid while held. Items of a taken sequence are read into
// memory that is reused once every lease of it is back, in any order. Returning a lease after the
// read has ended (or failed) is harmless.
class ItemLease {
 public:
  ItemLease() = default;
  ItemLease(ItemLease&& other) noexcept : hub_(other.hub_), region_(other.region_) {
    other.hub_ = nullptr;
  }
  ItemLease& operator=(ItemLease&& other) noexcept;
  ItemLease(const ItemLease&) = delete;
  ItemLease& operator=(const ItemLease&) = delete;
  ~ItemLease() { reset(); }

  // Returns the lease now (a no-op for an empty one).
  void reset() noexcept {
    if (hub_ != nullptr) give_back();
  }

 private:
  friend struct detail::LeaseHub;
  ItemLease(detail::LeaseHub* hub, std::uint32_t region) : hub_(hub), region_(region) {}
  void give_back() noexcept;

  detail::LeaseHub* hub_ = nullptr;
  std::uint32_t region_ = 0;
};

// A complete item of a taken sequence.
struct TakenItem {
  const Node& seq;
  Place seq_place;
  std::size_t index;
  std::span<const PathStep> path;  // root .. item (last step: its index); valid during take()
  const Node& node;                // the complete item
  std::size_t region_nodes;        // nodes read into the memory that the held leases keep
};

// The consumer's side. The reader asks for places only below places it was given, never under a
// merge key nor for a key that is not a string. A sequence is offered (takes_items) only when it
// is a plain !!seq, neither anchored nor inside an anchored collection, and not a merge value; in
// the tree that the read returns, each taken item reads as null: whoever takes items must keep
// what it needs. An anchor inside a taken item keeps working for later aliases (its nodes are
// copied out before the memory is reused).
class ItemStream {
 public:
  virtual ~ItemStream() = default;
  virtual Place root_place() = 0;
  virtual Place key_place(Place map, std::string_view key) = 0;  // value under a string key
  virtual Place item_place(Place seq) = 0;                       // items of a sequence
  // Whether this sequence's items are handed over as each completes.
  virtual bool takes_items(Place seq) = 0;
  // Items come in document order. The item's nodes stay valid while `lease` is held.
  virtual void take(const TakenItem& item, ItemLease lease) = 0;
  // The taken sequence closes: every lease of its items must be back before this returns (one
  // still out is a std::logic_error).
  virtual void end_of_items(const Node& seq, Place seq_place) = 0;
};

}  // namespace tarnwick::yaml
