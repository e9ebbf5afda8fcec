// The reader's item stream for a record type: which lists the reader hands over while it reads,
// derived from the rows marked streamed in the field tables, and the building of their items.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string_view>
#include <type_traits>
#include <vector>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/core/streamed_lists.hpp"
#include "tarnwick/yaml/item_stream.hpp"

namespace tarnwick::core {

namespace stream_detail {

// Whether building R reaches a streamed row (through nested records and lists).
template <class R, class... Seen>
constexpr bool reaches_streamed();

// A mapping's values are not followed: the reader's places stop at them.
template <class T, class... Seen>
constexpr bool type_reaches_streamed() {
  constexpr TypeKind k = T::kind;
  if constexpr (k == TypeKind::record) {
    return reaches_streamed<typename T::record_type, Seen...>();
  } else if constexpr (k == TypeKind::list || k == TypeKind::optional) {
    return type_reaches_streamed<decltype(T::item), Seen...>();
  } else if constexpr (k == TypeKind::mapping || is_scalar_kind(k)) {
    return false;
  } else {
    static_assert(types::kUnknownKind<T>, "a field type of a kind the stream does not know");
  }
}

template <class R, class... Seen>
constexpr bool reaches_streamed() {
  if constexpr ((std::is_same_v<R, Seen> || ...)) {
    return false;  // a record inside itself adds nothing new
  } else {
    bool out = false;
    table_of<R>.each([&](const auto& row) {
      using T = typename std::decay_t<decltype(row)>::field_type;
      out = out || row.streamed || type_reaches_streamed<T, R, Seen...>();
    });
    return out;
  }
}

struct State;

// A place of the document the stream follows: a record that reaches a streamed row, or a list
// on the way to one (streamed itself or holding records that reach one).
struct Place {
  const Place* (*key_place)(std::string_view key) = nullptr;  // records
  const Place* items = nullptr;                               // lists: their items' place
  bool takes_items = false;                                   // a streamed list
  // A streamed list whose items hold no streamed list: built a few at a time.
  bool batched = false;
  void (*build_item)(State&, const yaml::Node& seq, std::span<const yaml::PathStep> path,
                     const yaml::Node& item) = nullptr;
};

// What building a streamed item needs.
struct State {
  Builder builder;
  StreamedLists lists;
  BuildContext context;
};

// Builds one item of the list read from `seq` into its streamed list, at the item's location.
template <class V>
void build_item(State& state, const yaml::Node& seq, std::span<const yaml::PathStep> path,
                const yaml::Node& item) {
  StreamedItems<V>& list = state.lists.at<V>(seq);
  Builder& b = state.builder;
  b.reset(state.context, &state.lists);
  for (const yaml::PathStep& step : path) b.push(step);
  // Built in place: a record is large, and a list of them is only ever appended to. Once an item
  // has failed, the list's values are gone and only errors are kept.
  if (list.ok) {
    if (list.values.empty()) list.values.reserve(16);
    if (!types::convert_node(types::Record<V>{}, item, b, list.values.emplace_back())) {
      list.ok = false;
      list.values.clear();
    }
  } else {
    V discarded{};
    types::convert_node(types::Record<V>{}, item, b, discarded);
  }
  auto errors = b.take_errors();
  list.errors.insert(list.errors.end(), std::make_move_iterator(errors.begin()),
                     std::make_move_iterator(errors.end()));
  if (!state.context.lint.empty()) {
    auto notices = b.take_notices();
    list.notices.insert(list.notices.end(), std::make_move_iterator(notices.begin()),
                        std::make_move_iterator(notices.end()));
  }
}

template <class R>
const Place* record_key_place(std::string_view key);

template <class R>
inline constexpr Place record_place{.key_place = &record_key_place<R>};

template <class V, bool Streamed>
inline constexpr Place list_place{
    .items = reaches_streamed<V>() ? &record_place<V> : nullptr,
    .takes_items = Streamed,
    .batched = Streamed && !reaches_streamed<V>(),
    .build_item = Streamed ? &build_item<V> : nullptr,
};

// The place of a value of field type T, in a row streamed or not; nullptr: not followed.
template <class T, bool Streamed>
constexpr const Place* place_of() {
  constexpr TypeKind k = T::kind;
  if constexpr (k == TypeKind::record) {
    static_assert(!Streamed, "only a list is streamed");
    using R = typename T::record_type;
    return reaches_streamed<R>() ? &record_place<R> : nullptr;
  } else if constexpr (k == TypeKind::list) {
    using Item = decltype(T::item);
    constexpr bool of_records = Item::kind == TypeKind::record;
    static_assert(!Streamed || of_records, "a streamed row is a list of records");
    if constexpr (of_records) {
      using V = typename Item::record_type;
      if (Streamed || reaches_streamed<V>()) return &list_place<V, Streamed>;
    }
    return nullptr;
  } else if constexpr (k == TypeKind::optional) {
    static_assert(!Streamed, "only a plain list is streamed");
    return place_of<decltype(T::item), false>();
  } else if constexpr (k == TypeKind::mapping || is_scalar_kind(k)) {
    static_assert(!Streamed, "only a list is streamed");
    return nullptr;
  } else {
    static_assert(types::kUnknownKind<T>, "a field type of a kind the stream does not know");
  }
}

template <class R>
const Place* record_key_place(std::string_view key) {
  constexpr const auto& table = table_of<R>;
  const std::ptrdiff_t index = table.index_of(key);
  const Place* out = nullptr;
  table.each_indexed([&](auto i, const auto&) {
    constexpr const auto& row = std::get<decltype(i)::value>(table.rows);
    using T = typename std::decay_t<decltype(row)>::field_type;
    if (static_cast<std::ptrdiff_t>(i) == index) out = place_of<T, row.streamed>();
  });
  return out;
}

}  // namespace stream_detail

// Follows the places of a document of type Root that lead to streamed rows, builds the items of
// streamed lists as the reader completes them, and keeps the lists for Root's build.
//
// Items that hold no streamed list themselves are built a batch at a time: building one record
// after another keeps the builder's code in the instruction cache (when the parser and the
// builder took turns at every item, each evicted the other's code and the load ran at half the
// bare scan's instruction rate). Items that hold streamed lists are built one by one, as soon as
// each is complete: their own lists were built while they were read.
class RecordStream final : public yaml::ItemStream {
 public:
  template <class Root>
  static RecordStream of(BuildContext context) {
    return RecordStream(&stream_detail::record_place<Root>, context);
  }

  yaml::Place root_place() override { return root_; }
  yaml::Place key_place(yaml::Place map, std::string_view key) override {
    const auto* place = static_cast<const stream_detail::Place*>(map);
    return place->key_place != nullptr ? place->key_place(key) : nullptr;
  }
  yaml::Place item_place(yaml::Place seq) override {
    return static_cast<const stream_detail::Place*>(seq)->items;
  }
  bool takes_items(yaml::Place seq) override {
    return static_cast<const stream_detail::Place*>(seq)->takes_items;
  }
  void take(const yaml::TakenItem& item, yaml::ItemLease lease) override;
  void end_of_items(const yaml::Node& seq, yaml::Place seq_place) override;

  // Every list built while reading and not yet taken, for the document's build.
  StreamedLists& lists() { return state_.lists; }

 private:
  RecordStream(const stream_detail::Place* root, BuildContext context) : root_(root) {
    state_.context = context;
  }
  void build_held();

  // A batch ends at this many items, or once its items hold this many nodes, and always at the
  // list's end.
  static constexpr std::size_t kBatchItems = 16;
  static constexpr std::size_t kBatchNodes = 2048;

  // An item whose build waits for the next batch.
  struct Held {
    const yaml::Node* node;
    std::size_t index;
  };

  const stream_detail::Place* root_;
  stream_detail::State state_;
  const stream_detail::Place* held_place_ = nullptr;
  const yaml::Node* held_seq_ = nullptr;
  std::vector<Held> held_;
  std::vector<yaml::ItemLease> leases_;    // of held_, returned once they are built
  std::vector<yaml::PathStep> held_path_;  // the path of held_ (last step: an item's index)
};

}  // namespace tarnwick::core
