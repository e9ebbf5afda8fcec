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
std::string_view article_kind(Kind kind);  // "a null", "an integer", ...

}  // namespace tarnwick::yaml::detail
