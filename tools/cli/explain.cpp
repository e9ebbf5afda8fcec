#include "cli/explain.hpp"

#include <algorithm>
#include <limits>
#include <map>

#include "tarnwick/core/field_catalog.hpp"
#include "tarnwick/core/hints.hpp"
#include "tarnwick/core/rules.hpp"

namespace tarnwick::cli {

namespace {

namespace core = tarnwick::core;
using J = nlohmann::ordered_json;

// One key of the document (or the document itself), where the catalog leads to it.
struct Entry {
  std::string path;                         // keys alone, dotted; "" for the document
  const core::FieldEntry* field = nullptr;  // nullptr: the document
  const core::RecordEntry* record = nullptr;
  std::vector<std::size_t> children;  // the record's keys, in table order

  // A document writes an index after a list's key, and a key of its own after a mapping's.
  bool items() const {
    return field != nullptr && (field->list || field->type.starts_with("list of"));
  }
  bool keyed() const {
    return field != nullptr && (field->keyed || field->type.starts_with("mapping of"));
  }
};

using Tree = std::vector<Entry>;  // in document order, the document first

void add_below(Tree& tree, std::size_t at) {
  if (tree[at].record == nullptr) return;
  for (const core::FieldEntry& f : tree[at].record->fields) {
    std::string path =
        tree[at].path.empty() ? std::string(f.key) : tree[at].path + "." + std::string(f.key);
    tree.push_back({std::move(path), &f, f.record, {}});
    const std::size_t child = tree.size() - 1;
    tree[at].children.push_back(child);
    add_below(tree, child);
  }
}

const Tree& tree() {
  static const Tree built = [] {
    Tree t{{"", nullptr, &core::document_catalog(), {}}};
    add_below(t, 0);
    return t;
  }();
  return built;
}

std::size_t entry_at(std::string_view path) {
  const Tree& t = tree();
  const auto it = std::find_if(t.begin(), t.end(), [&](const Entry& e) { return e.path == path; });
  if (it == t.end()) throw ExplainError("no key at '" + std::string(path) + "'");
  return static_cast<std::size_t>(it - t.begin());
}

std::vector<std::string_view> steps_of(std::string_view written) {
  std::vector<std::string_view> steps;
  for (std::size_t start = 0;;) {
    const std::size_t dot = written.find('.', start);
    steps.push_back(written.substr(start, dot - start));
    if (dot == std::string_view::npos) return steps;
    start = dot + 1;
  }
}

bool is_index(std::string_view step) {
  return !step.empty() &&
         std::all_of(step.begin(), step.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::size_t child_named(const Entry& e, std::string_view key) {
  for (const std::size_t c : e.children) {
    if (tree()[c].field->key == key) return c;
  }
  return std::string_view::npos;
}

// A mapping's own key: any, unless the mapping's keys are choices (region names).
bool mapping_key(const Entry& e, std::string_view step) {
  if (step.empty()) return false;
  const auto& choices = e.field->choices;
  return !e.field->keyed || choices.empty() ||
         std::find(choices.begin(), choices.end(), step) != choices.end();
}

// The entry `steps` lead to from `from`, or npos. The first step is a key of `from`'s record;
// after a key, one index (a list) or one key of the mapping's own may follow.
std::size_t follow(std::size_t from, const std::vector<std::string_view>& steps) {
  std::size_t at = from;
  bool item_taken = true;  // nothing to take before the first key
  for (const std::string_view step : steps) {
    const Entry& e = tree()[at];
    if (const std::size_t child = child_named(e, step); child != std::string_view::npos) {
      at = child;
      item_taken = false;
      continue;
    }
    if (item_taken) return std::string_view::npos;
    if (!(e.items() && is_index(step)) && !(e.keyed() && mapping_key(e, step))) {
      return std::string_view::npos;
    }
    item_taken = true;
  }
  return at;
}

// What a wrong path probably meant: the closest of the paths and of the tails of paths that name
// one key each, compared with the path as written less its indexes.
std::string meant_path(std::string_view written) {
  std::string bare;
  for (const std::string_view step : steps_of(written)) {
    if (is_index(step)) continue;
    bare += (bare.empty() ? "" : ".") + std::string(step);
  }
  std::map<std::string_view, int> tails;  // each tail, and how many paths end in it
  std::vector<std::string_view> candidates;
  for (const Entry& e : tree()) {
    if (!e.path.empty()) candidates.push_back(e.path);  // a path from the top names one key
    for (std::string_view tail = e.path; !tail.empty();) {
      ++tails[tail];
      const std::size_t dot = tail.find('.');
      tail = dot == std::string_view::npos ? std::string_view() : tail.substr(dot + 1);
    }
  }
  for (const auto& [tail, count] : tails) {
    if (count == 1) candidates.push_back(tail);
  }
  return std::string(core::hints::closest_candidate(bare, candidates));
}

bool names(const core::Rule& rule, std::string_view path) {
  return std::any_of(rule.fields.begin(), rule.fields.end(),
                     [&](const core::RuleField& f) { return f.path == path; });
}

// Whether a key is required, from the rules that make their keys required: in every mode, or in a
// migration only (a discovery-only document may leave it out).
const char* required_in(const Entry& e) {
  if (e.field == nullptr) return "always";
  const char* required = "optional";
  for (const core::Rule& rule : core::rules()) {
    if (!rule.makes_required || !names(rule, e.path)) continue;
    if (!rule.migration_only) return "always";
    required = "migration";
  }
  return required;
}

J checks_of(const Entry& e) {
  J out = J::array();
  for (const core::Rule& rule : core::rules()) {
    if (!names(rule, e.path)) continue;
    out.push_back({{"id", rule.id},
                   {"title", rule.short_description},
                   {"description", rule.full_description},
                   {"migration_only", rule.migration_only}});
  }
  return out;
}

J node_json(std::size_t at, int depth) {
  const Entry& e = tree()[at];
  J n;
  n["path"] = e.path;
  n["key"] = e.field != nullptr ? e.field->key : std::string_view();
  n["type"] = e.field != nullptr ? e.field->type : std::string(e.record->name);
  n["required"] = required_in(e);
  n["default"] = e.field != nullptr ? e.field->default_value : J();
  n["choices"] = J::array();
  if (e.field != nullptr) {
    for (const std::string_view c : e.field->choices) n["choices"].push_back(c);
  }
  n["description"] = e.field != nullptr ? e.field->description : e.record->description;
  n["record"] = e.record != nullptr ? J(e.record->name) : J();
  n["checks"] = checks_of(e);
  if (e.record != nullptr && depth > 0) {
    n["fields"] = J::array();
    for (const std::size_t c : e.children) n["fields"].push_back(node_json(c, depth - 1));
  }
  return n;
}

void add_paths(const J& node, std::string& out) {
  if (!node["path"].get_ref<const std::string&>().empty()) {
    out += node["path"].get_ref<const std::string&>() + "\n";
  }
  if (node.contains("fields")) {
    for (const J& f : node["fields"]) add_paths(f, out);
  }
}

}  // namespace

const std::vector<std::pair<std::string, ExplainFormat>>& explain_format_names() {
  static const std::vector<std::pair<std::string, ExplainFormat>> names{
      {"text", ExplainFormat::text},
      {"json", ExplainFormat::json},
      {"markdown", ExplainFormat::markdown},
      {"paths", ExplainFormat::paths}};
  return names;
}

std::string resolve_key_path(std::string_view written) {
  if (written.empty()) return {};
  const std::vector<std::string_view> steps = steps_of(written);
  // From the top first: a full path is never ambiguous.
  if (const std::size_t at = follow(0, steps); at != std::string_view::npos) return tree()[at].path;
  std::vector<std::string> found;
  for (std::size_t from = 1; from < tree().size(); ++from) {
    const std::size_t at = follow(from, steps);
    if (at != std::string_view::npos) found.push_back(tree()[at].path);
  }
  if (found.size() == 1) return found.front();
  const std::string shown(written.substr(0, 200));
  if (found.empty()) {
    const std::string meant = meant_path(written);
    throw ExplainError("unknown key path '" + shown + "'" +
                       (meant.empty() ? "" : "; did you mean '" + meant + "'?") +
                       " (see tarnwick-config explain --recursive --format paths)");
  }
  std::string paths;
  for (const std::string& p : found) paths += (paths.empty() ? "" : ", ") + p;
  throw ExplainError("key '" + shown + "' is ambiguous; it is one of: " + paths +
                     " (give the full path)");
}

J explain_json(const std::string& path, int depth) {
  return node_json(entry_at(path), depth);
}

std::string explain(std::string_view written, bool recursive, ExplainFormat format) {
  const J node =
      explain_json(resolve_key_path(written), recursive ? std::numeric_limits<int>::max() : 1);
  switch (format) {
    case ExplainFormat::text:
      return explain_text(node, recursive);
    case ExplainFormat::json:
      return node.dump(2) + "\n";
    case ExplainFormat::markdown:
      return explain_markdown(node, recursive);
    case ExplainFormat::paths: {
      std::string out;
      add_paths(node, out);
      return out;
    }
  }
  return {};  // not reached: every format is named above
}

}  // namespace tarnwick::cli
