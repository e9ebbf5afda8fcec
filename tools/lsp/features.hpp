// The document features an editor asks about at a position: hover and completion. Stateless:
// each call reads the text it is given, which need not parse.
#pragma once

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/positions.hpp"
#include "lsp/protocol.hpp"

namespace tarnwick::lsp {

// On a key: the field's description, type, default and allowed values. Inside a VPC item (off
// its keys): which VPC, account and region it is.
std::optional<Hover> hover_at(const LineIndex& doc, Position at);
// At a key: the keys of the record there that are not written yet. At a value: a region, a
// cleanup resource, a credentials mode, true or false.
std::vector<CompletionItem> completions_at(const LineIndex& doc, Position at);

// The same as the protocol's results:

// textDocument/hover result: {"contents": {"kind": "markdown", "value": ...}, "range": ...} or
// null.
nlohmann::json hover(const LineIndex& doc, Position at);

// textDocument/completion result: an array of CompletionItem.
nlohmann::json completion(const LineIndex& doc, Position at);

}  // namespace tarnwick::lsp
