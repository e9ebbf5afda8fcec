#include "item_release.hpp"

#include <utility>

namespace tarnwick::yaml {

void ItemLease::give_back() noexcept {
  detail::LeaseHub* hub = std::exchange(hub_, nullptr);
  --hub->out;
  if (hub->reader_alive) {
    --hub->leases[region_];
  } else if (hub->out == 0) {
    delete hub;
  }
}

ItemLease& ItemLease::operator=(ItemLease&& other) noexcept {
  if (this != &other) {
    reset();
    hub_ = std::exchange(other.hub_, nullptr);
    region_ = other.region_;
  }
  return *this;
}

namespace detail {

ItemRelease::ItemRelease(Document& doc) : doc_(doc), hub_(new LeaseHub) {}

ItemRelease::~ItemRelease() {
  if (hub_->out == 0) {
    delete hub_;
  } else {
    hub_->reader_alive = false;
  }
}

void ItemRelease::begin_item(std::size_t depth) {
  if (!top_is(depth)) {
    regions_.push_back(
        Region{depth, doc_.begin_transient(), anchors_.size(), doc_.node_count(), true});
    hub_->leases.push_back(0);
  }
  regions_.back().reading = true;
}

ItemLease ItemRelease::lease(std::size_t depth) {
  if (!top_is(depth)) return ItemLease();
  regions_.back().reading = false;
  return LeaseHub::lease(hub_, static_cast<std::uint32_t>(regions_.size() - 1));
}

std::size_t ItemRelease::region_nodes(std::size_t depth) const {
  return top_is(depth) ? doc_.node_count() - regions_.back().nodes_begin : 0;
}

void ItemRelease::settle() {
  while (!regions_.empty() && !regions_.back().reading && hub_->leases.back() == 0) rewind_top();
}

void ItemRelease::rewind_top() {
  const Region r = regions_.back();
  for (std::size_t i = r.anchors_begin; i < anchors_.size(); ++i) {
    *anchors_[i] = doc_.keep(*anchors_[i], kept_);
  }
  anchors_.resize(r.anchors_begin);
  // Copies are looked up by transient address, which the next items reuse.
  kept_.clear();
  doc_.end_transient(r.checkpoint);
  regions_.pop_back();
  hub_->leases.pop_back();
}

}  // namespace detail
}  // namespace tarnwick::yaml
