#include "tarnwick/core/config_vpc_migration.hpp"

#include <iostream>

#include "tarnwick/core/load.hpp"

namespace tarnwick::core {

SystemExit::SystemExit(int status, ValidationError cause)
    : status_(status), cause_(std::move(cause)), what_("SystemExit: " + std::to_string(status)) {}

namespace {

// The document, or the report printed and SystemExit(1) thrown. (A document that is not a
// mapping has no faults: it is thrown as its TypeError.)
DiscoveryConfiguration document_or_exit(LoadResult loaded) {
  if (loaded.error) {
    std::cout << loaded.error->json() << '\n' << std::flush;
    throw SystemExit(1, std::move(*loaded.error));
  }
  return std::move(loaded.document());
}

}  // namespace

DiscoveryConfiguration build_document(const yaml::Node& config_dict, bool discovery_only) {
  return std::move(
      load(Source::tree(config_dict), {.discovery_only = discovery_only, .ranges = false})
          .document());
}

DiscoveryConfiguration load_from_dict(const yaml::Node& config_dict, bool discovery_only) {
  return document_or_exit(
      load(Source::tree(config_dict), {.discovery_only = discovery_only, .ranges = false}));
}

DiscoveryConfiguration load_from_dict(const nlohmann::ordered_json& config_dict,
                                      bool discovery_only) {
  return document_or_exit(
      load(Source::json(config_dict), {.discovery_only = discovery_only, .ranges = false}));
}

DiscoveryConfiguration load_from_yaml(const std::filesystem::path& yml_path, bool discovery_only) {
  return document_or_exit(
      load(Source::file(yml_path),
           {.discovery_only = discovery_only, .ranges = false, .keep_text = false}));
}

nlohmann::ordered_json dump_to_dict(const DiscoveryConfiguration& config) {
  return dump(config);
}

void dump_to_yaml(const DiscoveryConfiguration& /*config*/, const std::filesystem::path& /*dest*/) {
}

}  // namespace tarnwick::core
