#include "tarnwick/core/globals.hpp"

namespace tarnwick::core {

bool Globals::is_mode_id(std::string_view id) {
  for (std::string_view m : VPC_MIGRATION_ModeIds) {
    if (m == id) return true;
  }
  return false;
}

std::string Globals::mode_ids_text() {
  std::string out = "[";
  for (std::size_t i = 0; i < VPC_MIGRATION_ModeIds.size(); ++i) {
    if (i != 0) out += ", ";
    // Appended piecewise: GCC 12 at -O2 warns falsely (-Wrestrict) on "'" + std::string(...).
    out += '\'';
    out += VPC_MIGRATION_ModeIds[i];
    out += '\'';
  }
  return out + "]";
}

}  // namespace tarnwick::core
