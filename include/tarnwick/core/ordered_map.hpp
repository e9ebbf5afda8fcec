// An insertion-ordered mapping: what a document's tag and name-to-value mappings are kept as.
#pragma once

#include <cstddef>
#include <initializer_list>
#include <memory>
#include <optional>
#include <unordered_map>
#include <utility>
#include <vector>

namespace tarnwick::core {

// A later value for the same key replaces the earlier one in place.
template <class K, class V>
class OrderedMap {
 public:
  using value_type = std::pair<K, V>;

  OrderedMap() = default;
  OrderedMap(std::initializer_list<value_type> init) {
    for (const auto& [k, v] : init) set(k, v);
  }

  void set(K key, V value) {
    if (auto i = index_of(key)) {
      entries_[*i].second = std::move(value);
      return;
    }
    if (index_) index_->emplace(key, entries_.size());
    entries_.emplace_back(std::move(key), std::move(value));
    if (!index_ && entries_.size() > kIndexFrom) {
      index_ = std::make_shared<std::unordered_map<K, std::size_t>>();
      for (std::size_t i = 0; i < entries_.size(); ++i) index_->emplace(entries_[i].first, i);
    }
  }
  void reserve(std::size_t n) { entries_.reserve(n); }
  void clear() {
    entries_.clear();
    index_.reset();
  }
  const V* find(const K& key) const {
    auto i = index_of(key);
    return i ? &entries_[*i].second : nullptr;
  }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }

  friend bool operator==(const OrderedMap& a, const OrderedMap& b) {
    return a.entries_ == b.entries_;
  }

 private:
  // Small maps are searched; large ones (hostile documents) get a hash index so that building
  // stays linear.
  static constexpr std::size_t kIndexFrom = 16;

  std::optional<std::size_t> index_of(const K& key) const {
    if (index_) {
      auto it = index_->find(key);
      if (it == index_->end()) return std::nullopt;
      return it->second;
    }
    for (std::size_t i = 0; i < entries_.size(); ++i) {
      if (entries_[i].first == key) return i;
    }
    return std::nullopt;
  }

  std::vector<value_type> entries_;
  std::shared_ptr<std::unordered_map<K, std::size_t>> index_;
};

}  // namespace tarnwick::core
