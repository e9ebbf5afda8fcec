#include "lsp/features.hpp"

#include <algorithm>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/cursor.hpp"
#include "tarnwick/core/field_catalog.hpp"

namespace tarnwick::lsp {

namespace {

using core::FieldEntry;
using core::RecordEntry;

// Where a path leads in the catalog.
struct Place {
  const RecordEntry* record = nullptr;  // the record whose mapping is there
  const FieldEntry* field = nullptr;    // the field of the path's last key
  bool item_pending = false;            // the field's list, no item step taken yet
  bool key_pending = false;             // the field's mapping, none of its keys taken yet
};

std::optional<Place> resolve(const std::vector<Step>& path) {
  Place p;
  p.record = &core::document_catalog();
  for (const Step& s : path) {
    if (p.record != nullptr) {
      if (s.item || (p.field = p.record->find(s.key)) == nullptr) return std::nullopt;
      p.record = nullptr;
      p.item_pending = p.field->list;
      p.key_pending = p.field->keyed;
    } else if (p.field != nullptr && s.item && p.item_pending) {
      p.item_pending = false;
    } else if (p.field != nullptr && !s.item && p.key_pending) {
      p.key_pending = false;
    } else {
      return std::nullopt;
    }
    if (p.field->record != nullptr && !p.item_pending && !p.key_pending) {
      p.record = p.field->record;
    }
  }
  return p;
}

std::string code(std::string_view s) {
  return "`" + std::string(s) + "`";
}

std::string field_markdown(const FieldEntry& f) {
  std::string md = "**" + std::string(f.key) + "** — " + f.type;
  if (!f.description.empty()) md += "\n\n" + std::string(f.description);
  if (!f.choices.empty()) {
    md += "\n\nAllowed values: ";
    for (std::size_t i = 0; i < f.choices.size(); ++i) {
      md += (i == 0 ? "" : ", ") + code(f.choices[i]);
    }
    md += ".";
  }
  if (f.required) {
    md += "\n\nRequired.";
  } else if (f.default_value.is_null() || f.record != nullptr) {  // a section: its own defaults
    md += "\n\nOptional.";
  } else {
    const auto& d = f.default_value;
    md += "\n\nDefault: " + code(d.is_string() ? d.get<std::string>() : d.dump()) + ".";
  }
  return md;
}

Hover markdown_hover(std::string value, const Range& range) {
  return {std::move(value), range};
}

// "VPC `vpc-1` in account `3100`, region `us-east-1`" for a path inside a VPC item; the values
// are read from the text, so a half-written item still answers.
std::optional<std::string> vpc_summary(const LineIndex& doc, const std::vector<Step>& path) {
  static const std::vector<Step> kVpcItem{{"account_info"}, {"", true}, {"regions"},
                                          {"", true},       {"vpcs"},   {"", true}};
  if (path.size() < kVpcItem.size() ||
      !std::equal(kVpcItem.begin(), kVpcItem.end(), path.begin())) {
    return std::nullopt;
  }
  auto value = [&](const Step& item, std::string_view key) {
    const std::optional<std::string> v = item_value(doc, item, key);
    return v ? code(*v) : "(no " + code(key) + ")";
  };
  return "VPC " + value(path[5], "vpc_id") + " in account " + value(path[1], "account_id") +
         ", region " + value(path[3], "region");
}

CompletionItem key_item(const FieldEntry& f, const Cursor& cur) {
  // A key typed anew gets its colon; a nested record or list starts on the next line.
  std::string text(f.key);
  if (cur.spot != Spot::Key) {
    const std::string indent(cur.word.start.character + 2, ' ');
    if (f.record != nullptr && f.list) {
      text += ":\n" + indent + "- ";
    } else if (f.record != nullptr && !f.keyed) {
      text += ":\n" + indent;
    } else {
      text += ": ";
    }
  }
  return {std::string(f.key),
          f.record != nullptr ? CompletionKind::Struct : CompletionKind::Property,
          f.type,
          std::string(f.description),
          (f.required ? "0_" : "1_") + std::string(f.key),
          {cur.word, std::move(text)}};
}

CompletionItem value_item(std::string_view value, const FieldEntry& f, const Cursor& cur,
                          std::string_view suffix) {
  return {std::string(value), CompletionKind::EnumMember, std::string(f.key), std::nullopt,
          std::nullopt, {cur.word, std::string(value) + std::string(suffix)}};
}

bool written(const Cursor& cur, std::string_view s) {
  return std::find(cur.present.begin(), cur.present.end(), s) != cur.present.end();
}

void complete_keys(const Place& p, const Cursor& cur, std::vector<CompletionItem>& items) {
  if (p.record != nullptr) {
    for (const FieldEntry& f : p.record->fields) {
      if (!written(cur, f.key)) items.push_back(key_item(f, cur));
    }
  } else if (p.field != nullptr && p.key_pending && !p.item_pending) {
    // A mapping keyed by choices (transit gateways by region name).
    for (std::string_view choice : p.field->choices) {
      if (!written(cur, choice)) {
        items.push_back(value_item(choice, *p.field, cur, cur.spot == Spot::Key ? "" : ": "));
      }
    }
  }
}

void complete_values(const Place& p, const Cursor& cur, std::vector<CompletionItem>& items) {
  const FieldEntry* f = p.field;
  if (p.record != nullptr || f == nullptr || p.item_pending || p.key_pending || f->keyed) return;
  for (std::string_view choice : f->choices) {
    if (!f->list || !written(cur, choice)) items.push_back(value_item(choice, *f, cur, ""));
  }
  if (f->boolean) {
    for (std::string_view b : {"true", "false"}) items.push_back(value_item(b, *f, cur, ""));
  }
}

}  // namespace

std::optional<Hover> hover_at(const LineIndex& doc, Position at) {
  const Cursor cur = cursor_at(doc, at);
  if (cur.spot == Spot::None) return std::nullopt;
  if (cur.spot == Spot::Key) {
    const std::optional<Place> p = resolve(cur.path);
    const FieldEntry* f = p && p->record != nullptr ? p->record->find(cur.text) : nullptr;
    if (f == nullptr) return std::nullopt;
    return markdown_hover(field_markdown(*f), cur.word);
  }
  if (const auto vpc = vpc_summary(doc, cur.path)) return markdown_hover(*vpc, cur.word);
  return std::nullopt;
}

std::vector<CompletionItem> completions_at(const LineIndex& doc, Position at) {
  std::vector<CompletionItem> items;
  const Cursor cur = cursor_at(doc, at);
  const std::optional<Place> p = resolve(cur.path);
  if (!p || cur.spot == Spot::None || cur.spot == Spot::Dash) return items;
  if (cur.spot == Spot::Key || cur.spot == Spot::Bare) complete_keys(*p, cur, items);
  if (cur.spot == Spot::Value || (cur.spot == Spot::Bare && items.empty())) {
    complete_values(*p, cur, items);
  }
  return items;
}

nlohmann::json hover(const LineIndex& doc, Position at) {
  return to_json(hover_at(doc, at));
}

nlohmann::json completion(const LineIndex& doc, Position at) {
  return to_json(completions_at(doc, at));
}

}  // namespace tarnwick::lsp
