#include "report/sarif_reporter.hpp"

#include <algorithm>
#include <cctype>
#include <cstdio>

#include "report/field_help.hpp"

namespace tarnwick::report {

namespace {

using J = nlohmann::ordered_json;

constexpr const char* kSchema =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/os/schemas/sarif-schema-2.1.0.json";

}  // namespace

std::string uri_of(std::string_view name) {
  std::string out;
  for (const char c : name) {
    const auto u = static_cast<unsigned char>(c);
    if (std::isalnum(u) || c == '-' || c == '.' || c == '_' || c == '~' || c == '/') {
      out += c;
    } else {
      char escaped[4];
      std::snprintf(escaped, sizeof escaped, "%%%02X", u);
      out += escaped;
    }
  }
  return out;
}

std::size_t SarifReporter::rule_of(const core::ErrorDetail& e) {
  auto [it, added] = rule_index_.try_emplace(std::string(e.rule_id()), rules_.size());
  if (added) rules_.push_back({std::string(e.rule_id()), {}});
  Rule& rule = rules_[it->second];
  const std::string_view description = field_description(e.loc);
  if (!description.empty()) {
    // Named by the keys alone, so that the same field in every list item is one line.
    core::Loc keys;
    for (const core::LocPart& part : e.loc) {
      if (std::holds_alternative<std::string>(part)) keys.push_back(part);
    }
    std::string line = core::loc_text(keys) + ": " + std::string(description);
    if (std::find(rule.help.begin(), rule.help.end(), line) == rule.help.end()) {
      rule.help.push_back(std::move(line));
    }
  }
  return it->second;
}

namespace {

J region_of(yaml::Mark start, yaml::Mark end) {
  J region{{"startLine", start.line}, {"startColumn", start.column}};
  if (end.known()) {
    region["endLine"] = end.line;
    region["endColumn"] = end.column;
  }
  return region;
}

}  // namespace

void SarifReporter::report(const DocumentReport& doc) {
  const std::string uri = uri_of(doc.name);
  doc.each([&](const core::ErrorDetail& e) {
    const std::size_t rule = rule_of(e);
    J physical{{"artifactLocation", {{"uri", uri}}}};
    if (e.mark.known()) physical["region"] = region_of(e.mark, e.end);
    std::string text = e.loc.empty() ? e.msg : core::loc_text(e.loc) + ": " + e.msg;
    if (!e.hint.empty()) text += " (" + e.hint + ")";
    J result{{"ruleId", e.rule_id()},
             {"ruleIndex", rule},
             {"level", core::severity_name(e.severity)},
             {"message", {{"text", std::move(text)}}},
             {"locations", J::array({{{"physicalLocation", std::move(physical)}}})}};
    J related = J::array();
    for (const core::Related& r : e.related) {
      if (!r.start.known()) continue;
      related.push_back(
          {{"id", related.size()},
           {"physicalLocation",
            {{"artifactLocation", {{"uri", uri}}}, {"region", region_of(r.start, r.end)}}},
           {"message", {{"text", r.message}}}});
    }
    if (!related.empty()) result["relatedLocations"] = std::move(related);
    results_.push_back(std::move(result));
  });
}

void SarifReporter::finish() {
  J rules = J::array();
  for (const Rule& r : rules_) {
    std::string help;
    for (const std::string& line : r.help) help += (help.empty() ? "" : "\n") + line;
    J rule{{"id", r.id}, {"shortDescription", {{"text", r.id}}}};
    if (!help.empty()) rule["help"] = {{"text", help}};
    rules.push_back(std::move(rule));
  }
  const J driver{{"name", "tarnwick-config"}, {"version", version_}, {"rules", std::move(rules)}};
  const J log{{"$schema", kSchema},
              {"version", "2.1.0"},
              {"runs", J::array({{{"tool", {{"driver", driver}}}, {"results", results_}}})}};
  out_ << log.dump(2, ' ', false, J::error_handler_t::replace) << '\n' << std::flush;
}

}  // namespace tarnwick::report
