#include "report/field_help.hpp"

#include <cstddef>

#include "tarnwick/core/field_catalog.hpp"

namespace tarnwick::report {

namespace {

std::size_t next_key(const core::Loc& loc, std::size_t i) {
  while (i < loc.size() && !std::holds_alternative<std::string>(loc[i])) ++i;
  return i;
}

}  // namespace

std::string_view field_description(const core::Loc& loc) {
  std::string_view found;
  const core::RecordEntry* record = &core::document_catalog();
  // List indexes are stepped over; so is a mapping's own key before the record it holds.
  for (std::size_t i = next_key(loc, 0); record != nullptr && i < loc.size();) {
    const core::FieldEntry* field = record->find(std::get<std::string>(loc[i]));
    if (field == nullptr) break;
    found = field->description;
    record = field->record;
    i = next_key(loc, field->keyed ? next_key(loc, i + 1) + 1 : i + 1);
  }
  return found;
}

}  // namespace tarnwick::report
