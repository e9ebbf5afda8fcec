// The description of the field a fault is about, from the record tables.
#pragma once

#include <string_view>

#include "tarnwick/core/errors.hpp"

namespace tarnwick::report {

// The description of the row of the last key of `loc` that names a row, walking the tables from
// the document down (list indexes and mapping keys are stepped over); empty when none does.
std::string_view field_description(const core::Loc& loc);

}  // namespace tarnwick::report
