// What is at a position of a YAML text, found from the text's lines and their indentation rather
// than by parsing: a text in the middle of an edit seldom parses, and that is when an editor asks.
// Block style is read in full (keys, `- ` items, indentless sequences, quoted keys, comments);
// flow collections only within one line.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "lsp/positions.hpp"

namespace tarnwick::lsp {

// One step from the document's root: a key, or an item of a list.
struct Step {
  std::string key;         // the key's text (unquoted); empty for an item
  bool item = false;       // an item of a list
  std::size_t line = 0;    // where the key, or the item's dash, is written (0-based)
  std::size_t column = 0;  // byte column of the key or of the dash
  friend bool operator==(const Step& a, const Step& b) {
    return a.key == b.key && a.item == b.item;
  }
};

enum class Spot {
  None,   // in a comment, in a block scalar's text, in a flow mapping
  Key,    // on a key written with its colon
  Value,  // on a key's value, or on an item of a one-line flow list
  Bare,   // on a word alone on its line, or on an empty line: a key being typed or an item's text
  Dash,   // on the dash of a list item
};

struct Cursor {
  Spot spot = Spot::None;
  // Key, Bare: the steps to the mapping (or item) that holds the word. Value: the steps to the
  // value itself (its key, then an item for a flow list's item). Dash: the steps to the item.
  std::vector<Step> path;
  std::string text;  // the word under the cursor, unquoted
  Range word;        // what a completion replaces; empty at the cursor when nothing is typed
  // Key, Bare: the keys already written in the same mapping (the cursor's own excluded); for an
  // item's text or a flow list's item, also the other items' texts.
  std::vector<std::string> present;
};

Cursor cursor_at(const LineIndex& doc, Position at);

// The text of `key`'s value in the mapping of the list item `item` (a step of a cursor's path),
// when it is a scalar written on the key's own line; nullopt otherwise.
std::optional<std::string> item_value(const LineIndex& doc, const Step& item, std::string_view key);

}  // namespace tarnwick::lsp
