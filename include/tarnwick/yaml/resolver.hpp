// Scalar resolution: which kind of value a scalar's text stands for, and that value.
//
// Untagged plain scalars follow the YAML 1.1 implicit rules (the same patterns and value
// construction as the Python YAML loader, so documents mean the same thing to our scripts and to
// this tool). Scalars with an explicit standard tag are checked against that tag's value rules.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml {

struct ResolvedScalar {
  Kind kind = Kind::Str;
  // The resolved tag. Besides the one matching `kind`, plain `<<` gives StandardTag::Merge (a merge
  // key when it is a mapping key) and an explicit !!binary gives StandardTag::Binary (kind Str,
  // base64 text).
  StandardTag tag = StandardTag::Str;
  bool big = false;  // Kind::Int beyond 64 bits: `integer` is unset and the text is the value
  bool boolean = false;
  std::int64_t integer = 0;
  double real = 0.0;
  // Set when the text has the form of `kind` but names no value ("0b_", "2001-02-30"), or, for
  // an explicit tag, does not have the tag's form. A static string; empty when all is well.
  std::string_view error;

  bool ok() const { return error.empty(); }
};

// An untagged plain scalar. Never fails outright: text matching no pattern is a string.
ResolvedScalar resolve_plain(std::string_view text);

// A scalar with an explicit standard tag (quoted, block or plain alike). The rules are those of
// the tag's own value constructor, which accepts a little more than the implicit patterns:
// `!!float 1`, `!!float 1e3`, `!!bool TRUE` in any case, `!!timestamp 2001-1-1`. Collection tags
// (!!seq, !!map, !!omap, !!pairs, !!set) give an error.
ResolvedScalar resolve_tagged(StandardTag tag, std::string_view text);

// The bytes a !!binary scalar stands for; its text must be base64 as resolve_tagged accepts it.
std::string binary_bytes(std::string_view base64);

}  // namespace tarnwick::yaml
