// A node tree as compact flow text, for comparing trees in tests: strings quoted, other scalars
// as written.
#pragma once

#include <string>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::testing {

inline std::string show(const yaml::Node& n) {
  std::string out;
  switch (n.kind()) {
    case yaml::Kind::Str:
      return '"' + n.text() + '"';
    case yaml::Kind::Seq:
      for (const yaml::Node* item : n.items()) out += (out.empty() ? "" : ", ") + show(*item);
      return '[' + out + ']';
    case yaml::Kind::Map:
      for (const yaml::Entry& e : n.entries()) {
        out += (out.empty() ? "" : ", ") + show(*e.key) + ": " + show(*e.value);
      }
      return '{' + out + '}';
    default:
      return n.text();
  }
}

}  // namespace tarnwick::testing
