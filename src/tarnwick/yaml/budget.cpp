#include "budget.hpp"

#include <algorithm>
#include <string>

namespace tarnwick::yaml::detail {

void ExpansionBudget::charge_beyond_floor(Mark mark) {
  std::size_t nodes = doc_.node_count();
  std::size_t limit = std::max(floor_, sat_mul(factor_, nodes));
  if (nodes_ > limit) {
    throw YamlError("document expands through aliases to more than " + std::to_string(limit) +
                        " nodes (limit: max(" + std::to_string(floor_) + ", " +
                        std::to_string(factor_) + " x the " + std::to_string(nodes) +
                        " nodes read so far))",
                    doc_.name(), mark);
  }
}

// Aliases share text, but whatever copies values (records, messages) copies it once per use, so
// the text that aliases repeat is held to a multiple of the document's size too.
void ExpansionBudget::charge_text(std::size_t bytes, Mark mark) {
  aliased_text_ = sat_add(aliased_text_, bytes);
  std::size_t limit = std::max(text_floor_, sat_mul(factor_, input_bytes_));
  if (aliased_text_ > limit) {
    throw YamlError("document expands through aliases to more than " + std::to_string(limit) +
                        " bytes of text (limit: max(" + std::to_string(text_floor_) + ", " +
                        std::to_string(factor_) + " x the " + std::to_string(input_bytes_) +
                        " bytes of the document))",
                    doc_.name(), mark);
  }
}

}  // namespace tarnwick::yaml::detail
