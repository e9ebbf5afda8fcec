// explain's text and markdown: views of its JSON data, so the three formats cannot disagree.
#include <algorithm>
#include <string>

#include "cli/explain.hpp"
#include "cli/markdown.hpp"

namespace tarnwick::cli {

namespace {

using J = nlohmann::ordered_json;

const std::string& str(const J& node, const char* key) {
  return node.at(key).get_ref<const std::string&>();
}

std::string required_words(const J& node) {
  const std::string& r = str(node, "required");
  if (r == "always") return "yes";
  if (r == "migration") return "in a migration (a discovery-only document may leave it out)";
  return "no";
}

// The short form beside a key in a list of keys.
std::string required_mark(const J& node) {
  const std::string& r = str(node, "required");
  if (r == "always") return "required";
  if (r == "migration") return "required in a migration";
  return {};
}

// A default worth showing: a required key's never is, nor a section's whole mapping (each of its
// keys shows its own).
bool shows_default(const J& node) {
  return str(node, "required") != "always" &&
         !(node.at("record").is_string() && node.at("default").is_object());
}

std::string joined(const J& values, const char* before, const char* after) {
  std::string out;
  for (const J& v : values) {
    out += (out.empty() ? "" : ", ") + std::string(before) + v.get<std::string>() + after;
  }
  return out;
}

std::string default_text(const J& node) {
  return node.at("default").dump(-1, ' ', false, J::error_handler_t::replace);
}

// ---------------------------------------------------------------------------------------------
// Text: a block per key, its facts indented under its path.

void text_line(std::string& out, const char* label, const std::string& value) {
  std::string l = std::string("  ") + label + ":";
  l.resize(std::max<std::size_t>(l.size() + 1, 14), ' ');
  out += l + value + "\n";
}

// The record's keys in columns: key, type, whether required.
void text_keys(const J& fields, std::string& out) {
  std::size_t key_width = 0, type_width = 0;
  for (const J& f : fields) {
    key_width = std::max(key_width, str(f, "key").size());
    type_width = std::max(type_width, std::min<std::size_t>(str(f, "type").size(), 40));
  }
  out += "  keys:\n";
  for (const J& f : fields) {
    std::string l = "    " + str(f, "key");
    l.resize(4 + key_width + 2, ' ');
    l += str(f, "type");
    const std::string mark = required_mark(f);
    if (!mark.empty()) {
      l.resize(std::max(l.size() + 2, 4 + key_width + 2 + type_width + 2), ' ');
      l += mark;
    }
    out += l + "\n";
  }
}

void text_block(const J& node, std::string& out) {
  const bool document = str(node, "path").empty();
  out += document ? "(the document)" : str(node, "path");
  out += "\n  " + str(node, "description") + "\n";
  text_line(out, "type", str(node, "type"));
  if (!document) text_line(out, "required", required_words(node));
  if (!document && shows_default(node)) text_line(out, "default", default_text(node));
  if (!node.at("choices").empty()) text_line(out, "choices", joined(node.at("choices"), "", ""));
  if (!node.at("checks").empty()) out += "  checks:\n";
  for (const J& check : node.at("checks")) {
    out += "    " + str(check, "id") + ": " + str(check, "title") +
           (check.at("migration_only").get<bool>() ? " (migration only)" : "") + "\n      " +
           str(check, "description") + "\n";
  }
}

void text_tree(const J& node, std::string& out) {
  text_block(node, out);
  if (!node.contains("fields")) return;
  for (const J& f : node.at("fields")) {
    out += "\n";
    text_tree(f, out);
  }
}

// ---------------------------------------------------------------------------------------------
// Markdown: a heading per key, its facts as a list, a record's keys as a table; the checks'
// descriptions once, at the end.

using markdown::cell;
using markdown::code;

void markdown_keys(const J& fields, std::string& out) {
  out += "| Key | Type | Required | Default |\n|---|---|---|---|\n";
  for (const J& f : fields) {
    const std::string& r = str(f, "required");
    out += "| " + cell(code(str(f, "key"))) + " | " + cell(str(f, "type")) + " | " +
           (r == "always"      ? "yes"
            : r == "migration" ? "in a migration"
                               : "no") +
           " | " + (shows_default(f) ? cell(code(default_text(f))) : "") + " |\n";
  }
  out += "\n";
}

void markdown_block(const J& node, int level, std::string& out) {
  const bool document = str(node, "path").empty();
  out += std::string(static_cast<std::size_t>(std::min(level, 6)), '#') + " " +
         (document ? std::string("The migration document") : code(str(node, "path"))) + "\n\n";
  out += str(node, "description") + "\n\n";
  if (document) {
    out +=
        "Each key below as `tarnwick-config explain KEY` shows it. A key is required within "
        "the mapping that holds it: a key of an optional section only once the section is "
        "given.\n\n";
  }
  out += "- **Type:** " + str(node, "type") + "\n";
  if (!document) out += "- **Required:** " + required_words(node) + "\n";
  if (!document && shows_default(node)) out += "- **Default:** " + code(default_text(node)) + "\n";
  if (!node.at("choices").empty()) {
    out += "- **Choices:** " + joined(node.at("choices"), "`", "`") + "\n";
  }
  if (!node.at("checks").empty()) out += "- **Checks:**\n";
  for (const J& check : node.at("checks")) {
    out += "  - " + code(str(check, "id")) + ": " + str(check, "title") +
           (check.at("migration_only").get<bool>() ? " (migration only)" : "") + "\n";
  }
  out += "\n";
  if (node.contains("fields")) markdown_keys(node.at("fields"), out);
}

void markdown_tree(const J& node, int level, bool recursive, J& checks, std::string& out) {
  markdown_block(node, level, out);
  for (const J& check : node.at("checks")) {
    const std::string& id = str(check, "id");
    if (!checks.contains(id)) checks[id] = check;
  }
  if (!recursive || !node.contains("fields")) return;
  for (const J& f : node.at("fields")) markdown_tree(f, level + 1, recursive, checks, out);
}

}  // namespace

std::string explain_text(const nlohmann::ordered_json& node, bool recursive) {
  std::string out;
  if (recursive) {
    text_tree(node, out);
    return out;
  }
  text_block(node, out);
  if (node.contains("fields")) text_keys(node.at("fields"), out);
  return out;
}

std::string explain_markdown(const nlohmann::ordered_json& node, bool recursive) {
  std::string out;
  J checks = J::object();  // by id, in the order first met
  if (recursive && str(node, "path").empty()) {
    out +=
        "<!-- Generated by `tarnwick-config explain --recursive --format markdown`; do not "
        "edit. -->\n\n";
  }
  markdown_tree(node, 1, recursive, checks, out);
  if (checks.empty()) return out;
  out += "## Checks\n\n";
  for (const auto& [id, check] : checks.items()) {
    out += "- " + code(id) + ": **" + str(check, "title") + ".** " + str(check, "description") +
           (check.at("migration_only").get<bool>() ? " Checked in a migration only." : "") + "\n";
  }
  return out;
}

}  // namespace tarnwick::cli
