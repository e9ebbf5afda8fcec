// Pieces of the reader's messages, shared by its parts.
#pragma once

#include <string>
#include <string_view>

#include "tarnwick/yaml/node.hpp"

namespace tarnwick::yaml::detail {

std::string at(Mark mark);                  // "line L, column C"
std::string quoted(std::string_view text);  // a scalar's text, quoted and cut short
// How a tag is written: !!name for the standard prefix, !local, or !<verbatim>.
std::string written_tag(std::string_view uri);

// A syntax fault as libyaml reports it, with the text it was found in.
struct SyntaxFault {
  std::string_view problem;  // libyaml's problem
  std::string_view context;  // libyaml's context; empty when none
  Mark mark;                 // where the fault is shown
  Mark context_mark;
  std::string_view text;  // the whole input
  std::size_t offset;     // of `mark` in `text`
  // libyaml placed the fault past the end of the text: `mark` is the text's last character.
  bool at_end = false;
};
// The fault for the one editing the text: the offending line and what is wrong there first, then
// libyaml's context and problem in parentheses: "line 7: a tab cannot indent YAML; use spaces
// (while scanning for the next token at line 7, column 1: found character that cannot start any
// token)".
std::string explain_syntax(const SyntaxFault& fault);

}  // namespace tarnwick::yaml::detail
