#include "report/sarif_reporter.hpp"

#include <algorithm>

#include "tarnwick/core/rules.hpp"
#include "tarnwick/yaml/text_lines.hpp"

namespace tarnwick::report {

namespace {

using J = nlohmann::ordered_json;

constexpr const char* kSchema =
    "https://docs.oasis-open.org/sarif/sarif/v2.1.0/os/schemas/sarif-schema-2.1.0.json";

// The help as code scanning shows it: the description, then the rule's fields as a list.
std::string help_markdown(const core::Rule& rule) {
  std::string help(rule.full_description);
  for (const core::RuleField& f : rule.fields) {
    help += (&f == &rule.fields.front() ? "\n\n" : "\n") + ("- `" + f.path + "`: ") +
            std::string(f.description);
  }
  return help;
}

J rule_json(const core::Rule& rule) {
  return {{"id", rule.id},
          {"name", rule.name},
          {"shortDescription", {{"text", rule.short_description}}},
          {"fullDescription", {{"text", rule.full_description}}},
          {"help", {{"text", core::rule_help(rule)}, {"markdown", help_markdown(rule)}}},
          {"defaultConfiguration", {{"level", core::severity_name(rule.level)}}}};
}

// A rule the registry does not know (a fault made outside the load): named by its id alone.
J unregistered_json(const std::string& id) {
  const J text{{"text", id}};
  return {{"id", id},
          {"shortDescription", text},
          {"fullDescription", text},
          {"help", text},
          {"defaultConfiguration", {{"level", "error"}}}};
}

// A region from the reader's marks, whose columns count characters. A mark without a column
// (0) gives none: SARIF's columns start at 1.
J region_of(const yaml::TextLines& lines, yaml::Mark start, yaml::Mark end) {
  J region{{"startLine", start.line}};
  if (const std::uint32_t column = lines.utf16_column(start); column != 0) {
    region["startColumn"] = column;
  }
  if (end.known()) {
    region["endLine"] = end.line;
    if (const std::uint32_t column = lines.utf16_column(end); column != 0) {
      region["endColumn"] = column;
    }
  }
  return region;
}

J physical(const std::string& uri, const yaml::TextLines& lines, yaml::Mark start,
           yaml::Mark end) {
  J out{{"artifactLocation", {{"uri", uri}}}};
  if (start.known()) out["region"] = region_of(lines, start, end);
  return out;
}

// What `check --fix` would write, as a replacement in the file; whether it is made without
// asking is a property (SARIF has no word for it).
J fix_json(const std::string& uri, const yaml::TextLines& lines, const core::Fix& fix) {
  const J replacement{{"deletedRegion", region_of(lines, fix.start, fix.end)},
                      {"insertedContent", {{"text", fix.text}}}};
  return {{"description", {{"text", fix.title}}},
          {"artifactChanges",
           J::array({{{"artifactLocation", {{"uri", uri}}},
                      {"replacements", J::array({replacement})}}})},
          {"properties", {{"applicability", core::applicability_name(fix.applicability)}}}};
}

}  // namespace

std::size_t SarifReporter::rule_of(const core::ErrorDetail& e) {
  const std::size_t registered = core::rule_index(e.rule_id());
  if (registered < core::rules().size()) return registered;
  auto it = std::find(unregistered_.begin(), unregistered_.end(), e.rule_id());
  if (it == unregistered_.end()) it = unregistered_.insert(it, std::string(e.rule_id()));
  return core::rules().size() + static_cast<std::size_t>(it - unregistered_.begin());
}

void SarifReporter::report(const DocumentReport& doc) {
  const std::string uri = uri_of(doc.name);
  const yaml::TextLines lines(doc.text);
  for (const core::ErrorDetail* fault : in_source_order(doc)) {
    const core::ErrorDetail& e = *fault;
    std::string text = e.loc.empty() ? e.msg : core::loc_text(e.loc) + ": " + e.msg;
    if (!e.hint.empty()) text += " (" + e.hint + ")";
    J result{{"ruleId", e.rule_id()},
             {"ruleIndex", rule_of(e)},
             {"level", core::severity_name(e.severity)},
             {"message", {{"text", std::move(text)}}},
             {"locations", J::array({{{"physicalLocation", physical(uri, lines, e.mark, e.end)}}})}};
    J related = J::array();
    for (const core::Related& r : e.related) {
      if (!r.start.known()) continue;
      related.push_back({{"id", related.size()},
                         {"physicalLocation", physical(uri, lines, r.start, r.end)},
                         {"message", {{"text", r.message}}}});
    }
    if (!related.empty()) result["relatedLocations"] = std::move(related);
    if (e.fix && e.fix->start.known() && e.fix->end.known()) {
      result["fixes"] = J::array({fix_json(uri, lines, *e.fix)});
    }
    results_.push_back(std::move(result));
  }
}

void SarifReporter::finish() {
  J rules = J::array();
  for (const core::Rule& r : core::rules()) rules.push_back(rule_json(r));
  for (const std::string& id : unregistered_) rules.push_back(unregistered_json(id));
  const J driver{{"name", "tarnwick-config"},
                 {"version", version_},
                 {"rules", std::move(rules)}};
  const J run{{"tool", {{"driver", driver}}},
              {"columnKind", "utf16CodeUnits"},
              {"results", results_}};
  const J log{{"$schema", kSchema}, {"version", "2.1.0"}, {"runs", J::array({run})}};
  out_ << log.dump(2, ' ', false, J::error_handler_t::replace) << '\n' << std::flush;
}

}  // namespace tarnwick::report
