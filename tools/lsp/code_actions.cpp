#include "lsp/code_actions.hpp"

#include <optional>
#include <string>

namespace tarnwick::lsp {

namespace {

// The fix a diagnostic carries as data, or that its published twin carries (a client may send a
// diagnostic back without its data).
std::optional<Fix> fix_of(const nlohmann::json& d, const nlohmann::json& published) {
  if (std::optional<Fix> fix = fix_from_data(d)) return fix;
  if (!published.is_array() || !d.is_object()) return std::nullopt;
  for (const nlohmann::json& p : published) {
    if (p.value("range", nlohmann::json()) == d.value("range", nlohmann::json()) &&
        p.value("code", nlohmann::json()) == d.value("code", nlohmann::json())) {
      return fix_from_data(p);
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<CodeAction> fixes_for(const nlohmann::json& context_diagnostics,
                                  const nlohmann::json& published) {
  std::vector<CodeAction> actions;
  if (!context_diagnostics.is_array()) return actions;
  for (const nlohmann::json& d : context_diagnostics) {
    if (std::optional<Fix> fix = fix_of(d, published)) {
      actions.push_back({fix->title, d, {fix->range, fix->new_text}, fix->safe});
    }
  }
  return actions;
}

nlohmann::json quick_fixes(std::string_view uri, const nlohmann::json& context_diagnostics,
                           const nlohmann::json& published) {
  return to_json(fixes_for(context_diagnostics, published), std::string(uri));
}

}  // namespace tarnwick::lsp
