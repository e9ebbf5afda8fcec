// A fault as the reporters' tests make it: a value fault at a location and position.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "tarnwick/core/errors.hpp"

namespace tarnwick::testing {

inline core::ErrorDetail fault(core::Loc loc, std::string msg, std::uint32_t line,
                               std::uint32_t column) {
  core::ErrorDetail e;
  e.loc = std::move(loc);
  e.msg = std::move(msg);
  e.type = "value_error";
  e.mark = {line, column};
  return e;
}

}  // namespace tarnwick::testing
