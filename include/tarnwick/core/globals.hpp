// The tool's shared constants, as far as the configuration layer reads them.
#pragma once

#include <array>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::core::Globals {

// The valid migration-mode identifiers, in order.
inline constexpr std::array<std::string_view, 2> VPC_MIGRATION_ModeIds{"vpc_migration",
                                                                       "vpc_discovery"};

bool is_mode_id(std::string_view id);
// The collection as the host tool prints it: ['vpc_migration', 'vpc_discovery'].
std::string mode_ids_text();
// Another collection (the host's own) in the same form.
std::string mode_ids_text(const std::vector<std::string>& ids);

}  // namespace tarnwick::core::Globals
