// The document's item stream: accounts and VPCs built as the reader completes them.
#pragma once

#include <array>
#include <cstddef>
#include <string_view>
#include <vector>

#include "tarnwick/core/record_frame.hpp"
#include "tarnwick/yaml/item_stream.hpp"

namespace tarnwick::core {

// Builds accounts and VPCs as the reader completes them, so that reading a document never holds
// more than one account's nodes (and a few VPCs', inside it) at a time. Each item is built exactly
// as the list's own build would build it, at the same location; the document's build then takes
// the lists ready-made.
class DocumentStream final : public yaml::ItemStream {
 public:
  yaml::Place root_place() override;
  yaml::Place key_place(yaml::Place map, std::string_view key) override;
  yaml::Place item_place(yaml::Place seq) override;
  bool takes_items(yaml::Place seq) override;
  void take(const yaml::TakenItem& item, yaml::ItemLease lease) override;
  void end_of_items(const yaml::Node& seq, yaml::Place seq_place) override;

  // Every list built ahead and not yet taken, for the document's build.
  Prebuilt& lists() { return lists_; }

 private:
  // A VPC item whose build waits for the next batch.
  struct Held {
    const yaml::Node* seq;
    const yaml::Node* node;
    std::size_t index;
  };

  template <class R>
  void build_item(const yaml::Node& seq, std::span<const yaml::PathStep> path,
                  const yaml::Node& item, Prebuilt* nested);
  void build_held();

  Prebuilt lists_;
  std::array<Builder, 2> builders_;
  std::vector<const yaml::Node*> transient_lists_;  // VPC lists inside the account being read
  std::vector<Held> held_;
  std::vector<yaml::ItemLease> leases_;    // of held_, returned once they are built
  std::vector<yaml::PathStep> held_path_;  // the path of held_ (last step: an item's index)
};

}  // namespace tarnwick::core
