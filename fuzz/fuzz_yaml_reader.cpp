// Arbitrary bytes through the YAML reader: a YamlError is the only acceptable failure; any other
// exception, crash, leak, hang or sanitizer report is a finding.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace {

// Reads every node reachable from the root through its typed accessors, so a dangling pointer,
// a wrong union member or a bad shared node shows up under the sanitizers. Aliases share nodes,
// so the walk is capped rather than tracking visits; the reader already bounds expansion.
void walk(const tarnwick::yaml::Node& node, std::size_t& budget) {
  using tarnwick::yaml::Kind;
  if (budget == 0) return;
  --budget;
  switch (node.kind()) {
    case Kind::Bool:
      (void)node.bool_value();
      break;
    case Kind::Int:
      (void)node.int_value();
      break;
    case Kind::Float:
      (void)node.float_value();
      break;
    case Kind::Seq:
      for (const auto* item : node.items()) walk(*item, budget);
      break;
    case Kind::Map:
      for (const auto& entry : node.entries()) {
        walk(*entry.key, budget);
        walk(*entry.value, budget);
      }
      break;
    default:
      (void)node.text().size();
      break;
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  try {
    const auto doc = tarnwick::yaml::read_string(text, "<fuzz>");
    std::size_t budget = std::size_t{1} << 20;
    walk(doc.root(), budget);
    for (const auto& dup : doc.duplicates()) {
      (void)dup.key.size();
      (void)dup.path.size();
    }
  } catch (const tarnwick::yaml::YamlError& e) {
    (void)e.problem().size();
    (void)e.what();
  }
  return 0;
}
