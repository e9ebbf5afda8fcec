// The document's outline: its accounts, their regions and their VPCs.
#pragma once

#include <optional>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/positions.hpp"
#include "lsp/protocol.hpp"

namespace tarnwick::lsp {

// Accounts, then their regions, then their VPCs; nullopt when the text is not YAML.
std::optional<std::vector<DocumentSymbol>> outline_of(const LineIndex& doc);

// textDocument/documentSymbol result: accounts, then their regions, then their VPCs, as
// DocumentSymbol trees; nullopt when the text is not YAML (the server keeps the last good one).
std::optional<nlohmann::json> document_symbols(const LineIndex& doc);

}  // namespace tarnwick::lsp
