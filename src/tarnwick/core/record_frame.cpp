#include "tarnwick/core/record_frame.hpp"

#include <algorithm>
#include <atomic>

#include "tarnwick/core/globals.hpp"  // validate_id

namespace tarnwick::core {

namespace {

std::atomic<bool> g_discovery_only{false};

}  // namespace

bool BaseModel::discovery_only() {
  return g_discovery_only.load(std::memory_order_relaxed);
}

void BaseModel::set_discovery_only(bool value) {
  g_discovery_only.store(value, std::memory_order_relaxed);
}

std::optional<std::string> ModeIdConfig::validate_id(std::optional<std::string> value,
                                                     const BuildContext& context) {
  if (context.mode_ids == nullptr) {
    if (value && Globals::is_mode_id(*value)) return value;
    throw ValueError("id must be one of " + Globals::mode_ids_text());
  }
  const std::vector<std::string>& ids = *context.mode_ids;
  if (value && std::find(ids.begin(), ids.end(), *value) != ids.end()) return value;
  throw ValueError("id must be one of " + Globals::mode_ids_text(ids));
}

}  // namespace tarnwick::core
