#include "lsp/code_actions.hpp"

namespace tarnwick::lsp {

namespace {

// The fix a diagnostic carries as data, or that its published twin carries (a client may send a
// diagnostic back without its data).
nlohmann::json fix_of(const nlohmann::json& d, const nlohmann::json& published) {
  auto from = [](const nlohmann::json& x) -> nlohmann::json {
    if (!x.is_object()) return nullptr;
    const auto data = x.find("data");
    if (data == x.end() || !data->is_object()) return nullptr;
    const auto fix = data->find("fix");
    if (fix == data->end() || !fix->is_object() || !fix->contains("range") ||
        !fix->value("newText", nlohmann::json()).is_string() ||
        !fix->value("title", nlohmann::json()).is_string()) {
      return nullptr;
    }
    return *fix;
  };
  if (nlohmann::json fix = from(d); !fix.is_null()) return fix;
  if (!published.is_array() || !d.is_object()) return nullptr;
  for (const nlohmann::json& p : published) {
    if (p.value("range", nlohmann::json()) == d.value("range", nlohmann::json()) &&
        p.value("code", nlohmann::json()) == d.value("code", nlohmann::json())) {
      return from(p);
    }
  }
  return nullptr;
}

}  // namespace

nlohmann::json quick_fixes(std::string_view uri, const nlohmann::json& context_diagnostics,
                           const nlohmann::json& published) {
  nlohmann::json actions = nlohmann::json::array();
  if (!context_diagnostics.is_array()) return actions;
  for (const nlohmann::json& d : context_diagnostics) {
    const nlohmann::json fix = fix_of(d, published);
    if (fix.is_null()) continue;
    nlohmann::json edit = {{"range", fix["range"]}, {"newText", fix["newText"]}};
    actions.push_back(
        {{"title", fix["title"]},
         {"kind", "quickfix"},
         {"diagnostics", nlohmann::json::array({d})},
         {"isPreferred", true},
         {"edit", {{"changes", {{std::string(uri), nlohmann::json::array({edit})}}}}}});
  }
  return actions;
}

}  // namespace tarnwick::lsp
