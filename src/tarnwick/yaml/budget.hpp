// The alias expansion budget: aliases share nodes, so a small document can stand for an enormous
// tree; every consumer (record building, dumping, messages) would pay for the expansion. The
// limits and their reasons are in reader.hpp (Limits: min_expansion_budget, expansion_factor,
// min_aliased_text_bytes). Both budgets are charged while reading, at the alias or merge that
// crosses them, so neither time nor memory ever follows the expansion.
#pragma once

#include <cstddef>
#include <cstdint>

#include "tarnwick/yaml/node.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::yaml::detail {

inline std::size_t sat_add(std::size_t a, std::size_t b) {
  std::size_t r;
  return __builtin_add_overflow(a, b, &r) ? SIZE_MAX : r;
}

inline std::size_t sat_mul(std::size_t a, std::size_t b) {
  std::size_t r;
  return __builtin_mul_overflow(a, b, &r) ? SIZE_MAX : r;
}

class ExpansionBudget {
 public:
  // `doc` is the document being read (its node count and name), `input_bytes` its text's size.
  ExpansionBudget(const Document& doc, std::size_t input_bytes, const Limits& limits)
      : doc_(doc),
        input_bytes_(input_bytes),
        floor_(limits.min_expansion_budget),
        factor_(limits.expansion_factor),
        text_floor_(limits.min_aliased_text_bytes) {}

  std::size_t input_bytes() const { return input_bytes_; }
  // Nodes of the tree read so far, aliases counted as copies. Every node is charged: the common
  // case (well inside the floor budget) stays inline.
  void charge(std::size_t amount, Mark mark) {
    nodes_ = sat_add(nodes_, amount);
    if (nodes_ > floor_) charge_beyond_floor(mark);
  }
  // Text that an alias repeats.
  void charge_text(std::size_t bytes, Mark mark);

 private:
  void charge_beyond_floor(Mark mark);

  const Document& doc_;
  std::size_t input_bytes_;
  // The limits in force, held here so the inline charge reads one member.
  std::size_t floor_;
  std::size_t factor_;
  std::size_t text_floor_;
  std::size_t nodes_ = 0;
  std::size_t aliased_text_ = 0;  // text bytes repeated by aliases
};

}  // namespace tarnwick::yaml::detail
