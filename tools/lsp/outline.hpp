#pragma once
#include <optional>
#include <nlohmann/json.hpp>
#include "lsp/positions.hpp"
namespace tarnwick::lsp {
std::optional<nlohmann::json> document_symbols(const LineIndex& doc);
}
