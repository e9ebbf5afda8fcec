#include "document_stream.hpp"

#include <iterator>

#include "tarnwick/core/sections/account_info.hpp"

namespace tarnwick::core {
namespace {

// Places the stream follows: account_info, its items, their regions, the regions' items and
// their vpcs. Only the addresses matter.
struct Places {
  char root, account_info, account, regions, region, vpcs;
};
constexpr Places kPlaces{};

// VPC items are built a batch at a time: building one record after another keeps the builder's
// code in the instruction cache (when the parser and the builder took turns at every item, each
// evicted the other's code and the load ran at half the bare scan's instruction rate). A batch
// ends at this many items, or once its items hold this many nodes, and always at the list's end.
constexpr std::size_t kBatchItems = 16;
constexpr std::size_t kBatchNodes = 2048;

}  // namespace

yaml::Place DocumentStream::root_place() {
  return &kPlaces.root;
}

yaml::Place DocumentStream::key_place(yaml::Place map, std::string_view key) {
  if (map == &kPlaces.root && key == "account_info") return &kPlaces.account_info;
  if (map == &kPlaces.account && key == "regions") return &kPlaces.regions;
  if (map == &kPlaces.region && key == "vpcs") return &kPlaces.vpcs;
  return nullptr;
}

yaml::Place DocumentStream::item_place(yaml::Place seq) {
  if (seq == &kPlaces.account_info) return &kPlaces.account;
  if (seq == &kPlaces.regions) return &kPlaces.region;
  return nullptr;
}

bool DocumentStream::takes_items(yaml::Place seq) {
  return seq == &kPlaces.account_info || seq == &kPlaces.vpcs;
}

void DocumentStream::take(const yaml::TakenItem& item, yaml::ItemLease lease) {
  if (item.seq_place == &kPlaces.account_info) {
    // One by one: an account holds its VPC lists, each already built.
    build_item<AccountInfo>(item.seq, item.path, item.node, &lists_);
    // The account's build took its VPC lists; any left (a list overridden by a repeated key)
    // goes with the account's nodes, whose addresses the next account reuses.
    for (const yaml::Node* s : transient_lists_) lists_.erase(s);
    transient_lists_.clear();
    return;
  }
  // Noted once per list, at its first item.
  if (item.seq.transient() && item.index == 0) transient_lists_.push_back(&item.seq);
  if (held_.empty()) held_path_.assign(item.path.begin(), item.path.end());
  held_.push_back(Held{&item.seq, &item.node, item.index});
  leases_.push_back(std::move(lease));
  if (held_.size() >= kBatchItems || item.region_nodes >= kBatchNodes) build_held();
}

void DocumentStream::end_of_items(const yaml::Node& /*seq*/, yaml::Place seq_place) {
  if (seq_place == &kPlaces.vpcs) build_held();
}

void DocumentStream::build_held() {
  for (const Held& h : held_) {
    held_path_.back().index = h.index;
    build_item<VPCConfig>(*h.seq, held_path_, *h.node, nullptr);
  }
  held_.clear();
  leases_.clear();
}

template <class R>
void DocumentStream::build_item(const yaml::Node& seq, std::span<const yaml::PathStep> path,
                                const yaml::Node& item, Prebuilt* nested) {
  PrebuiltList<R>& list = lists_.list<R>(&seq);
  // One builder per level, reused: an account's build runs while its VPCs' builder is idle.
  Builder& b = builders_[path.size() == 2 ? 0 : 1];
  b.reset(nested);
  for (const yaml::PathStep& step : path) {
    if (step.is_index) {
      b.push(static_cast<std::int64_t>(step.index));
    } else {
      b.push(step.key);
    }
  }
  // Built in place: a record is large, and a list of them is only ever appended to. Once an
  // item has failed, the list's values are gone and only errors are kept.
  if (list.ok) {
    if (list.values.empty()) list.values.reserve(16);
    if (!types::convert_node(types::Record<R>{}, item, b, list.values.emplace_back())) {
      list.ok = false;
      list.values.clear();
    }
  } else {
    R discarded{};
    types::convert_node(types::Record<R>{}, item, b, discarded);
  }
  auto errors = b.take_errors();
  list.errors.insert(list.errors.end(), std::make_move_iterator(errors.begin()),
                     std::make_move_iterator(errors.end()));
}

}  // namespace tarnwick::core
