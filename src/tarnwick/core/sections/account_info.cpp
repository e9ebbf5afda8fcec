#include "tarnwick/core/sections/account_info.hpp"

namespace tarnwick::core {

std::optional<std::string> VPCConfig::check_encrypt_key(std::optional<std::string> val,
                                                        const Values<VPCConfig>& values,
                                                        const BuildContext& context) {
  if (context.discovery_only) return val;
  const std::optional<bool>* encrypt = values.get(&VPCConfig::encrypt);
  bool encrypt_on = encrypt != nullptr && *encrypt == true;
  if (!encrypt_on && val) throw ValueError("encrypt must be True to set encrypt_key");
  return val;
}

}  // namespace tarnwick::core
