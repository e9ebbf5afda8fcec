#include "tarnwick/core/sections/script_config.hpp"

namespace tarnwick::core {

std::optional<bool> ScriptConfig::validate_configure_spoke_gw_hs(
    std::optional<bool> val, const Values<ScriptConfig>& values) {
  if (val != true) return val;
  if (const bool* gw_name = values.get(&ScriptConfig::configure_gw_name);
      gw_name != nullptr && !*gw_name) {
    throw ValueError("To enable configure_spoke_gw_hs, configure_gw_name must be set to True");
  }
  if (const bool* add = values.get(&ScriptConfig::add_vpc_cidr); add != nullptr && *add) {
    throw ValueError("To enable configure_spoke_gw_hs, add_vpc_cidr must be set to False");
  }
  return val;
}

}  // namespace tarnwick::core
