#include "lsp/outline.hpp"

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

#include "tarnwick/yaml/node_ends.hpp"
#include "tarnwick/yaml/reader.hpp"

namespace tarnwick::lsp {

namespace {

// One level of the outline: the list under `key`, the key naming each item, its kind.
struct Level {
  std::string_view list;
  std::string_view name_key;
  std::string_view fallback;  // "account" gives "account 3" for a third account without an id
  SymbolKind kind;
};
constexpr Level kLevels[] = {{"account_info", "account_id", "account", SymbolKind::Namespace},
                             {"regions", "region", "region", SymbolKind::Package},
                             {"vpcs", "vpc_id", "VPC", SymbolKind::Struct}};

class Outline {
 public:
  explicit Outline(const LineIndex& doc) : doc_(doc), ends_(yaml::node_ends(doc.text())) {}

  // The symbols of the items of `holder`'s list at level `depth`.
  std::vector<DocumentSymbol> symbols(const yaml::Node& holder, std::size_t depth) const {
    std::vector<DocumentSymbol> out;
    const Level& level = kLevels[depth];
    const yaml::Node* list = holder.is_map() ? holder.find(level.list) : nullptr;
    if (list == nullptr || !list->is_seq()) return out;
    std::size_t index = 0;
    for (const yaml::Node* item : list->items()) {
      ++index;
      if (!item->is_map()) continue;
      const yaml::Node* name = item->find(level.name_key);
      const bool named = name != nullptr && name->is_scalar() && !name->text().empty();
      const Range whole = range_of(*item);
      Range selection{whole.start, whole.start};
      if (named) {
        // An alias's name lies elsewhere; the protocol wants it inside the item.
        const Range r = range_of(*name);
        if (whole.start <= r.start && r.end <= whole.end) selection = r;
      }
      DocumentSymbol s{
          named ? name->text() : std::string(level.fallback) + " " + std::to_string(index),
          std::nullopt, level.kind, whole, selection, std::nullopt};
      if (depth == 0) {
        const yaml::Node* label = item->find("account_name");
        if (label != nullptr && label->is_scalar() && !label->is_null()) s.detail = label->text();
      }
      if (depth + 1 < std::size(kLevels)) s.children = symbols(*item, depth + 1);
      out.push_back(std::move(s));
    }
    return out;
  }

 private:
  Range range_of(const yaml::Node& node) const {
    const Position start = doc_.from_mark(node.mark());
    const std::optional<yaml::Mark> end = ends_.end_of(node.mark());
    if (!end) return {start, start};
    const std::size_t from = doc_.offset(start);
    return {start, doc_.position(std::max(from, content_end(doc_.offset(doc_.from_mark(*end)))))};
  }

  // A block collection ends where the next token starts: back over the blanks and whole comment
  // lines before it, so that an item's range stops at its own last character.
  std::size_t content_end(std::size_t end) const {
    const std::string_view text = doc_.text();
    for (;;) {
      while (end > 0 && std::string_view(" \t\r\n").find(text[end - 1]) != std::string_view::npos) {
        --end;
      }
      const std::size_t line = text.find_last_of("\r\n", end == 0 ? 0 : end - 1);
      const std::size_t start = line == std::string_view::npos ? 0 : line + 1;
      const std::size_t first = text.find_first_not_of(" \t", start);
      if (end == 0 || first >= end || text[first] != '#') return end;
      end = start;
    }
  }

  const LineIndex& doc_;
  yaml::NodeEnds ends_;
};

}  // namespace

std::optional<std::vector<DocumentSymbol>> outline_of(const LineIndex& doc) {
  yaml::Document document;
  try {
    document = yaml::read_string(doc.text());
  } catch (const yaml::YamlError&) {
    return std::nullopt;
  }
  return Outline(doc).symbols(document.root(), 0);
}

std::optional<nlohmann::json> document_symbols(const LineIndex& doc) {
  const auto symbols = outline_of(doc);
  if (!symbols) return std::nullopt;
  return to_json(*symbols);
}

}  // namespace tarnwick::lsp
