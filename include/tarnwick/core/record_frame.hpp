// The record frame: how every record of a configuration document is declared, built from a YAML
// node tree, validated and dumped.
//
// A record is a plain struct whose member initializers are its defaults, plus one table of its
// fields returned by its static constexpr fields() (field_table.hpp). That table drives building,
// dumping and JSON Schema export (record_build.hpp) and the Python classes.
//
//   ordered_map.hpp   the insertion-ordered mapping records keep tags in
//   errors.hpp        ErrorDetail, ValidationError, ValueError
//   builder.hpp       BuildContext, Builder (location and faults of one build)
//   field_types.hpp   field types and the shared value types and constants
//   field_table.hpp   rows, tables, what checks see
//   record_build.hpp  build, dump, JSON Schema
#pragma once

#include <optional>
#include <string>
#include <tuple>

#include <cstdint>

#include "tarnwick/core/builder.hpp"
#include "tarnwick/core/errors.hpp"
#include "tarnwick/core/field_table.hpp"
#include "tarnwick/core/field_types.hpp"
#include "tarnwick/core/ordered_map.hpp"
#include "tarnwick/core/record_build.hpp"

namespace tarnwick::core {

// The base of every record.
struct BaseModel {
  // The mode of the most recent load, for callers and the Python host; builds never read it (they
  // run in the context they are given).
  static bool discovery_only();
  static void set_discovery_only(bool value);

  // Which fields the record's input gave, bit i for row i of its table (what the Python host
  // reports as __fields_set__). Bookkeeping, not a value: records compare without it.
  std::uint64_t fields_given = 0;

  friend bool operator==(const BaseModel&, const BaseModel&) { return true; }
};

// The identified-record base: the optional migration-mode id and a free label.
struct ModeIdConfig : BaseModel {
  std::optional<std::string> id;
  std::optional<std::string> label;

  static std::optional<std::string> validate_id(std::optional<std::string> value,
                                                const BuildContext& context);

  // The two rows, first in the table of every record that derives from this one.
  static constexpr auto inherited_fields();
  static constexpr auto fields();

  friend bool operator==(const ModeIdConfig&, const ModeIdConfig&) = default;
};

constexpr auto ModeIdConfig::inherited_fields() {
  using R = ModeIdConfig;
  namespace t = types;
  return std::tuple{
      field("id", &R::id, t::optional(t::_str), check(&R::validate_id, "validate_id"),
            doc("Migration mode of the document: vpc_migration or vpc_discovery.")),
      field("label", &R::label, t::optional(t::_str),
            doc("Free label naming the document, for people.")),
  };
}

constexpr auto ModeIdConfig::fields() {
  return table<ModeIdConfig>("ModeIdConfig", "The base of identified records: mode id and label.",
                             inherited_fields());
}

}  // namespace tarnwick::core
