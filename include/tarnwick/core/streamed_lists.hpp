// Lists built while their document was still being read: the items of a row marked streamed are
// built as each one is complete, and the build of the record that holds the row then takes the
// list ready-made instead of walking its node.
#pragma once

#include <cstddef>
#include <memory>
#include <unordered_map>
#include <utility>
#include <vector>

#include "tarnwick/core/errors.hpp"
#include "tarnwick/yaml/node.hpp"

namespace tarnwick::core {

// The items of one list as its own build would have left them.
template <class V>
struct StreamedItems {
  std::vector<V> values;            // every item, while ok
  std::vector<ErrorDetail> errors;  // in the order found, with their full locations
  std::vector<ErrorDetail> notices;  // lint warnings, likewise
  bool ok = true;                   // no item failed
};

// The streamed lists of one document, by the sequence node each was read from. A list is typed
// by its item type: looking it up as another type finds nothing.
class StreamedLists {
 public:
  // The list read from `seq`, made empty on first use.
  template <class V>
  StreamedItems<V>& at(const yaml::Node& seq) {
    Slot& slot = slots_[&seq];
    if (!slot.items) {
      slot.type = type_key<V>();
      slot.items = std::make_unique<Holder<V>>();
      slot.transient = seq.transient();
    }
    return held<V>(slot);
  }

  // The list read from `seq`, handed over once; nullptr when there is none of that type.
  template <class V>
  std::unique_ptr<StreamedItems<V>> take(const yaml::Node& seq) {
    auto it = slots_.find(&seq);
    if (it == slots_.end() || it->second.type != type_key<V>()) return nullptr;
    auto out = std::make_unique<StreamedItems<V>>(std::move(held<V>(it->second)));
    slots_.erase(it);
    return out;
  }

  // Drops the lists read into memory the reader reuses (inside an item just built and released);
  // whatever was not taken of them can no longer be asked for by its node.
  void drop_transient() {
    std::erase_if(slots_, [](const auto& entry) { return entry.second.transient; });
  }

  // The list read from `seq` is complete. Grown item by item, it may have up to half its size
  // spare, which a large document's VPC lists would otherwise carry to the end of the load.
  void complete(const yaml::Node& seq) {
    if (auto it = slots_.find(&seq); it != slots_.end()) it->second.items->shrink();
  }

  bool empty() const { return slots_.empty(); }

 private:
  struct HolderBase {
    virtual ~HolderBase() = default;
    virtual void shrink() = 0;
  };
  template <class V>
  struct Holder final : HolderBase {
    StreamedItems<V> items;
    void shrink() override { items.values.shrink_to_fit(); }
  };
  struct Slot {
    const void* type = nullptr;
    std::unique_ptr<HolderBase> items;
    bool transient = false;
  };

  // One address per item type.
  template <class V>
  static const void* type_key() {
    static constexpr char key = 0;
    return &key;
  }
  // The slot was made for V (its type key says so).
  template <class V>
  static StreamedItems<V>& held(Slot& slot) {
    return static_cast<Holder<V>&>(*slot.items).items;
  }

  std::unordered_map<const yaml::Node*, Slot> slots_;
};

}  // namespace tarnwick::core
