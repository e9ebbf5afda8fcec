#pragma once
#include <nlohmann/json.hpp>
#include "lsp/positions.hpp"
namespace tarnwick::lsp {
nlohmann::json hover(const LineIndex& doc, Position at);
nlohmann::json completion(const LineIndex& doc, Position at);
}
