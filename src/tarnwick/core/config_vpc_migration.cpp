#include "tarnwick/core/config_vpc_migration.hpp"

#include <array>
#include <iostream>

#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::core {

SystemExit::SystemExit(int status, ValidationError cause)
    : status_(status), cause_(std::move(cause)), what_("SystemExit: " + std::to_string(status)) {}

namespace {

// Builds accounts and VPCs as the reader completes them, so that reading a document never holds
// more than one account's nodes (and one VPC's, inside it) at a time. Each item is built exactly
// as the list's own build would build it, at the same location; the document's build then takes
// the lists ready-made.
class DocumentSink final : public yaml::ItemSink {
 public:
  explicit DocumentSink(BuildContext context) : context_(context) {}

  const std::vector<std::vector<std::string_view>>& paths() const override {
    static const std::vector<std::vector<std::string_view>> kPaths{
        {"account_info"},
        {"account_info", "*", "regions", "*", "vpcs"},
    };
    return kPaths;
  }

  void take(const yaml::Node& seq, std::span<const yaml::PathStep> path,
            const yaml::Node& item) override {
    if (path.size() == 2) {
      build_item<AccountInfo>(seq, path, item, &lists_);
      // The account's build took its VPC lists; any left (a list overridden by a repeated key)
      // goes with the account's nodes, whose addresses the next account reuses.
      for (const yaml::Node* s : transient_lists_) lists_.erase(s);
      transient_lists_.clear();
    } else {
      build_item<VPCConfig>(seq, path, item, nullptr);
      // Noted once per list, at its first item.
      if (seq.transient() && path.back().index == 0) transient_lists_.push_back(&seq);
    }
  }

  // Every list built ahead and not yet taken, for the document's build.
  Prebuilt& lists() { return lists_; }

 private:
  template <class R>
  void build_item(const yaml::Node& seq, std::span<const yaml::PathStep> path,
                  const yaml::Node& item, Prebuilt* nested) {
    PrebuiltList<R>& list = lists_.list<R>(&seq);
    // One builder per level, reused: an account's build runs while its VPCs' builder is idle.
    Builder& b = builders_[path.size() == 2 ? 0 : 1];
    b.reset(context_, nested);
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

  BuildContext context_;
  Prebuilt lists_;
  std::array<Builder, 2> builders_;
  std::vector<const yaml::Node*> transient_lists_;  // VPC lists inside the account being read
};

}  // namespace

DocumentRead read_document(std::string_view text, std::string name, bool discovery_only) {
  const BuildContext context{discovery_only};
  DocumentSink sink(context);
  yaml::Document doc = yaml::read_string(text, std::move(name), &sink);
  DocumentRead out;
  out.duplicates = doc.duplicates();
  const yaml::Node& root = doc.root();
  if (!root.is_map()) {
    out.not_mapping = TypeError("config_dict must be a mapping, not " +
                                std::string(yaml::kind_name(root.kind())));
    return out;
  }
  BaseModel::set_discovery_only(discovery_only);
  try {
    out.config = build<DiscoveryConfiguration>(root, context, &sink.lists());
  } catch (ValidationError& e) {
    out.error = std::move(e);
  }
  return out;
}

namespace {

// The document, or the ValidationError thrown.
DiscoveryConfiguration document_or_throw(LoadResult loaded) {
  if (loaded.not_mapping) throw *loaded.not_mapping;
  if (loaded.error) throw std::move(*loaded.error);
  return std::move(*loaded.config);
}

// The document, or the report printed and SystemExit(1) thrown.
DiscoveryConfiguration document_or_exit(LoadResult loaded) {
  if (loaded.not_mapping) throw *loaded.not_mapping;
  if (loaded.error) {
    std::cout << loaded.error->json() << '\n' << std::flush;
    throw SystemExit(1, std::move(*loaded.error));
  }
  return std::move(*loaded.config);
}

}  // namespace

DiscoveryConfiguration build_document(const yaml::Node& config_dict, bool discovery_only) {
  return document_or_throw(load(Source::tree(config_dict), {.discovery_only = discovery_only}));
}

DiscoveryConfiguration load_from_dict(const yaml::Node& config_dict, bool discovery_only) {
  return document_or_exit(load(Source::tree(config_dict), {.discovery_only = discovery_only}));
}

DiscoveryConfiguration load_from_dict(const nlohmann::ordered_json& config_dict,
                                      bool discovery_only) {
  return document_or_exit(load(Source::json(config_dict), {.discovery_only = discovery_only}));
}

DiscoveryConfiguration load_from_yaml(const std::filesystem::path& yml_path, bool discovery_only) {
  return document_or_exit(load(Source::file(yml_path), {.discovery_only = discovery_only}));
}

nlohmann::ordered_json dump_to_dict(const DiscoveryConfiguration& config) {
  return dump(config);
}

void dump_to_yaml(const DiscoveryConfiguration& /*config*/, const std::filesystem::path& /*dest*/) {
}

}  // namespace tarnwick::core
