#include "lsp/protocol.hpp"

namespace tarnwick::lsp {

using nlohmann::json;

namespace {

json markdown(const std::string& value) {
  return {{"kind", "markdown"}, {"value", value}};
}

json edit_json(const TextEdit& e) {
  return {{"range", to_json(e.range)}, {"newText", e.new_text}};
}

json symbol_json(const DocumentSymbol& s) {
  json out{{"name", s.name},
           {"kind", static_cast<int>(s.kind)},
           {"range", to_json(s.range)},
           {"selectionRange", to_json(s.selection)}};
  if (s.detail) out["detail"] = *s.detail;
  if (s.children) out["children"] = to_json(*s.children);
  return out;
}

json diagnostic_json(const Diagnostic& d, const std::string& uri) {
  json out{{"range", to_json(d.range)},
           {"severity", static_cast<int>(d.severity)},
           {"code", d.code},
           {"source", kSource},
           {"message", d.message}};
  if (!d.related.empty()) {
    json related = json::array();
    for (const RelatedInformation& r : d.related) {
      related.push_back(
          {{"location", {{"uri", uri}, {"range", to_json(r.range)}}}, {"message", r.message}});
    }
    out["relatedInformation"] = std::move(related);
  }
  if (d.fix) {
    out["data"] = {{"fix",
                    {{"range", to_json(d.fix->range)},
                     {"newText", d.fix->new_text},
                     {"title", d.fix->title},
                     {"applicability", d.fix->safe ? "safe" : "unsafe"}}}};
  }
  return out;
}

}  // namespace

json to_json(const std::optional<Hover>& hover) {
  if (!hover) return nullptr;
  json h{{"contents", markdown(hover->markdown)}};
  if (hover->range.start != hover->range.end) h["range"] = to_json(hover->range);
  return h;
}

json to_json(const std::vector<CompletionItem>& items) {
  json out = json::array();
  for (const CompletionItem& item : items) {
    json i{{"label", item.label},
           {"kind", static_cast<int>(item.kind)},
           {"detail", item.detail},
           {"textEdit", edit_json(item.edit)}};
    if (item.documentation) i["documentation"] = markdown(*item.documentation);
    if (item.sort_text) i["sortText"] = *item.sort_text;
    out.push_back(std::move(i));
  }
  return out;
}

json to_json(const std::vector<DocumentSymbol>& symbols) {
  json out = json::array();
  for (const DocumentSymbol& s : symbols) out.push_back(symbol_json(s));
  return out;
}

json to_json(const std::vector<Diagnostic>& diagnostics, const std::string& uri) {
  json out = json::array();
  for (const Diagnostic& d : diagnostics) out.push_back(diagnostic_json(d, uri));
  return out;
}

json to_json(const std::vector<CodeAction>& actions, const std::string& uri) {
  json out = json::array();
  for (const CodeAction& a : actions) {
    out.push_back({{"title", a.title},
                   {"kind", "quickfix"},
                   {"diagnostics", json::array({a.diagnostic})},
                   {"isPreferred", a.preferred},
                   {"edit", {{"changes", {{uri, json::array({edit_json(a.edit)})}}}}}});
  }
  return out;
}

std::optional<Fix> fix_from_data(const json& diagnostic) {
  if (!diagnostic.is_object()) return std::nullopt;
  const auto data = diagnostic.find("data");
  if (data == diagnostic.end() || !data->is_object()) return std::nullopt;
  const auto fix = data->find("fix");
  if (fix == data->end() || !fix->is_object() || !fix->contains("range")) return std::nullopt;
  const json text = fix->value("newText", json());
  const json title = fix->value("title", json());
  if (!text.is_string() || !title.is_string()) return std::nullopt;
  return Fix{range_of((*fix)["range"]), text.get<std::string>(), title.get<std::string>(),
             fix->value("applicability", json()) == "safe"};
}

}  // namespace tarnwick::lsp
