#include "lsp/code_actions.hpp"

#include <string>

namespace tarnwick::lsp {

namespace {

// The replacement a diagnostic carries, or that its published twin carries.
std::string replacement_of(const nlohmann::json& d, const nlohmann::json& published) {
  auto from = [](const nlohmann::json& x) -> std::string {
    if (!x.is_object()) return {};
    const auto data = x.find("data");
    if (data == x.end() || !data->is_object()) return {};
    const auto r = data->find("replacement");
    return r != data->end() && r->is_string() ? r->get<std::string>() : std::string();
  };
  if (std::string r = from(d); !r.empty()) return r;
  if (!published.is_array() || !d.is_object()) return {};
  for (const nlohmann::json& p : published) {
    if (p.value("range", nlohmann::json()) == d.value("range", nlohmann::json()) &&
        p.value("code", nlohmann::json()) == d.value("code", nlohmann::json())) {
      return from(p);
    }
  }
  return {};
}

std::string title_of(const nlohmann::json& d, const std::string& replacement) {
  const bool key = d.is_object() && d.value("code", nlohmann::json()) == "value_error.extra";
  return (key ? "Rename the key to `" : "Change to `") + replacement + "`";
}

}  // namespace

nlohmann::json quick_fixes(std::string_view uri, const nlohmann::json& context_diagnostics,
                           const nlohmann::json& published) {
  nlohmann::json actions = nlohmann::json::array();
  if (!context_diagnostics.is_array()) return actions;
  for (const nlohmann::json& d : context_diagnostics) {
    const std::string replacement = replacement_of(d, published);
    if (replacement.empty() || !d.contains("range")) continue;
    nlohmann::json edit = {{"range", d["range"]}, {"newText", replacement}};
    actions.push_back({{"title", title_of(d, replacement)},
                       {"kind", "quickfix"},
                       {"diagnostics", nlohmann::json::array({d})},
                       {"isPreferred", true},
                       {"edit", {{"changes", {{std::string(uri), nlohmann::json::array({edit})}}}}}});
  }
  return actions;
}

}  // namespace tarnwick::lsp
