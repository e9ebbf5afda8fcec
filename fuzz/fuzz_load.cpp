// Arbitrary bytes through the whole non-printing load: read_string, then build_document in the
// mode picked by the first byte, then dump_to_dict on success or the error report on failure.
// YamlError, ValidationError and TypeError are the only acceptable failures.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace {

void load(const tarnwick::yaml::Document& doc, bool discovery_only) {
  namespace core = tarnwick::core;
  try {
    const auto config = core::build_document(doc.root(), discovery_only);
    const auto dumped = core::dump_to_dict(config);
    (void)dumped.dump().size();
  } catch (const core::ValidationError& e) {
    (void)e.json().size();
    (void)std::string(e.what()).size();
  } catch (const core::TypeError& e) {
    (void)std::string(e.what()).size();
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  // Low bits of the first byte: 0 full mode, 1 discovery only, 2 and 3 both modes in turn (the
  // second build must not be affected by the first). The rest is the document.
  const unsigned mode = data[0] & 3u;
  const std::string_view text(reinterpret_cast<const char*>(data + 1), size - 1);
  try {
    const auto doc = tarnwick::yaml::read_string(text, "<fuzz>");
    if (mode == 0 || mode >= 2) load(doc, mode == 3);
    if (mode == 1 || mode >= 2) load(doc, mode != 3);
  } catch (const tarnwick::yaml::YamlError& e) {
    (void)e.problem().size();
  }
  return 0;
}
