#include "tarnwick/core/globals.hpp"

namespace tarnwick::core {

bool Globals::is_mode_id(std::string_view id) {
  for (std::string_view m : VPC_MIGRATION_ModeIds) {
    if (m == id) return true;
  }
  return false;
}

namespace {

template <class List>
std::string list_text(const List& ids) {
  std::string out = "[";
  for (std::size_t i = 0; i < ids.size(); ++i) {
    if (i != 0) out += ", ";
    // Appended piecewise: GCC 12 at -O2 warns falsely (-Wrestrict) on "'" + std::string(...).
    out += '\'';
    out += ids[i];
    out += '\'';
  }
  return out + "]";
}

}  // namespace

std::string Globals::mode_ids_text() {
  return list_text(VPC_MIGRATION_ModeIds);
}

std::string Globals::mode_ids_text(const std::vector<std::string>& ids) {
  return list_text(ids);
}

}  // namespace tarnwick::core
