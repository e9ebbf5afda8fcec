#include "record_stream.hpp"

namespace tarnwick::core {

void RecordStream::take(const yaml::TakenItem& item, yaml::ItemLease lease) {
  const auto* place = static_cast<const stream_detail::Place*>(item.seq_place);
  if (!place->batched) {
    // Built at once: its own streamed lists are complete. Those not taken by its build (a list
    // overridden by a repeated key) go with its nodes, whose memory the next item reuses. (The
    // lists read into reused memory are exactly those inside this item as long as no streamed
    // list whose items hold streamed lists sits inside another such list's items.)
    place->build_item(state_, item.seq, item.path, item.node);
    state_.lists.drop_transient();
    return;
  }
  if (held_.empty()) {
    held_place_ = place;
    held_seq_ = &item.seq;
    held_path_.assign(item.path.begin(), item.path.end());
  }
  held_.push_back(Held{&item.node, item.index});
  leases_.push_back(std::move(lease));
  if (held_.size() >= kBatchItems || item.region_nodes >= kBatchNodes) build_held();
}

void RecordStream::end_of_items(const yaml::Node& seq, yaml::Place /*seq_place*/) {
  build_held();
  state_.lists.complete(seq);
}

void RecordStream::build_held() {
  for (const Held& h : held_) {
    held_path_.back().index = h.index;
    held_place_->build_item(state_, *held_seq_, held_path_, *h.node);
  }
  held_.clear();
  leases_.clear();
}

}  // namespace tarnwick::core
