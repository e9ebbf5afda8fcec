#include "lsp/diagnostics.hpp"

#include <exception>

#include "lsp/positions.hpp"
#include "report/reporter.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/yaml/node_ends.hpp"

namespace tarnwick::lsp {

namespace {

constexpr int kError = 1;
constexpr int kWarning = 2;

std::string_view trim(std::string_view s) {
  const auto begin = s.find_first_not_of(" \t");
  if (begin == std::string_view::npos) return {};
  return s.substr(begin, s.find_last_not_of(" \t\r") - begin + 1);
}

// A fault's range: from its mark to the end of its node (report::end_of), else to the end of the
// mark's line (a YAML error, a fault with no node of its own).
Range range_at(const LineIndex& index, const yaml::NodeEnds& ends,
               const core::ErrorDetail& fault) {
  const Position start = index.from_mark(fault.mark);
  if (const auto end = report::end_of(ends, fault)) return {start, index.from_mark(*end)};
  const std::string_view line = index.line(start.line);
  const Position line_end = index.position(index.offset({start.line, 0}) + line.size());
  return {start, line_end.character > start.character ? line_end : start};
}

Range range_at(const LineIndex& index, const yaml::NodeEnds& ends, yaml::Mark mark) {
  core::ErrorDetail at;
  at.mark = mark;
  return range_at(index, ends, at);
}

nlohmann::json diagnostic(const Range& range, int severity, const std::string& code,
                          const std::string& message) {
  return {{"range", to_json(range)},
          {"severity", severity},
          {"code", code},
          {"source", kSource},
          {"message", message}};
}

void add_fault(nlohmann::json& out, std::string_view uri, const Range& range,
               const core::ErrorDetail& fault) {
  const std::string loc = core::loc_text(fault.loc);
  nlohmann::json d =
      diagnostic(range, kError, fault.type, loc.empty() ? fault.msg : loc + ": " + fault.msg);
  if (!fault.hint.empty()) {
    d["relatedInformation"] = nlohmann::json::array(
        {{{"location", {{"uri", uri}, {"range", to_json(range)}}}, {"message", fault.hint}}});
  }
  if (!fault.suggestion.empty()) d["data"] = {{"replacement", fault.suggestion}};
  out.push_back(std::move(d));
}

void add_duplicates(nlohmann::json& out, std::string_view uri, const LineIndex& index,
                    const yaml::NodeEnds& ends, const core::LoadResult& loaded) {
  for (const yaml::DuplicateKey& dup : loaded.duplicates) {
    const core::ErrorDetail fault = core::duplicate_key_fault(dup);
    const Range range = range_at(index, ends, fault);
    nlohmann::json d =
        diagnostic(range, kWarning, fault.type, report::duplicate_warning(dup));
    core::ErrorDetail first = fault;
    first.mark = dup.first;
    d["relatedInformation"] = nlohmann::json::array(
        {{{"location", {{"uri", uri}, {"range", to_json(range_at(index, ends, first))}}},
          {"message", "first written here"}}});
    out.push_back(std::move(d));
  }
}

}  // namespace

std::optional<bool> mode_comment(std::string_view text) {
  const std::string_view first = text.substr(0, text.find_first_of("\r\n"));
  std::string_view rest = trim(first);
  if (!rest.starts_with('#')) return std::nullopt;
  rest = trim(rest.substr(1));
  constexpr std::string_view kTag = "tarnwick-config:";
  if (!rest.starts_with(kTag)) return std::nullopt;
  rest = trim(rest.substr(kTag.size()));
  if (rest == "discovery-only") return true;
  if (rest == "migration") return false;
  return std::nullopt;
}

nlohmann::json diagnostics(std::string_view uri, std::string_view text, bool discovery_only) {
  const LineIndex index(text);
  nlohmann::json out = nlohmann::json::array();
  core::LoadResult loaded;
  try {
    loaded = core::load(core::Source::text(text, std::string(uri)), {discovery_only, false});
  } catch (const yaml::YamlError& e) {
    out.push_back(diagnostic(range_at(index, {}, e.mark()), kError, report::kMalformedYaml,
                             e.problem()));
    return out;
  } catch (const std::exception& e) {
    // Nothing else is expected from a text; say it rather than leave stale marks.
    out.push_back(diagnostic(range_at(index, {}, {1, 1}), kError, report::kUnreadableFile,
                             e.what()));
    return out;
  }
  // The ends cost a second scan: only a text with something to mark pays it.
  const bool marks = !loaded.config || !loaded.duplicates.empty();
  const yaml::NodeEnds ends = marks ? yaml::node_ends(text) : yaml::NodeEnds();
  if (loaded.not_mapping) {
    out.push_back(diagnostic(range_at(index, ends, {1, 1}), kError, report::kNotMapping,
                             loaded.not_mapping_reason()));
    return out;
  }
  if (loaded.error) {
    for (const core::ErrorDetail& fault : loaded.error->errors()) {
      add_fault(out, uri, range_at(index, ends, fault), fault);
    }
  }
  add_duplicates(out, uri, index, ends, loaded);
  return out;
}

}  // namespace tarnwick::lsp
