// Arbitrary bytes through the whole non-printing load, in the mode picked by the first byte, both
// ways: streamed (the text loaded, streamed rows built while reading) and whole (the tree read
// first, then loaded). The two must agree exactly: the same report, or the same records and dump.
// YamlError, ValidationError and TypeError are the only acceptable failures.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace {

namespace core = tarnwick::core;

// The outcome of one load as text: the dump, the error report, or what was thrown.
std::string whole(const tarnwick::yaml::Document& doc, bool discovery_only) {
  try {
    const auto config = core::build_document(doc.root(), discovery_only);
    return core::dump_to_dict(config).dump();
  } catch (const core::ValidationError& e) {
    (void)std::string(e.what()).size();
    return e.json();
  } catch (const core::TypeError& e) {
    return std::string("TypeError: ") + e.what();
  }
}

std::string streamed(std::string_view text, bool discovery_only) {
  core::LoadResult read =
      core::load(core::Source::text(text, "<fuzz>"), {.discovery_only = discovery_only});
  if (read.cause) std::rethrow_exception(read.cause);
  if (read.not_mapping) return std::string("TypeError: ") + read.not_mapping->what();
  if (read.error) return read.error->json();
  return core::dump_to_dict(*read.config).dump();
}

void compare(const tarnwick::yaml::Document& doc, std::string_view text, bool discovery_only) {
  const std::string a = whole(doc, discovery_only);
  const std::string b = streamed(text, discovery_only);
  if (a != b) {
    std::fprintf(stderr, "streamed and whole loads differ:\n%s\n---\n%s\n", a.c_str(),
                 b.c_str());
    std::abort();
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
    if (mode == 0 || mode >= 2) compare(doc, text, mode == 3);
    if (mode == 1 || mode >= 2) compare(doc, text, mode != 3);
  } catch (const tarnwick::yaml::YamlError& e) {
    (void)e.problem().size();
  }
  return 0;
}
