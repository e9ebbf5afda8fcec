// Quick fixes: a diagnostic whose fault carries a fix (a mistyped key, a choice in the wrong
// case, a network with host bits: made where the fault was found) becomes an edit.
#pragma once

#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/protocol.hpp"

namespace tarnwick::lsp {

// The quick fixes for the diagnostics a client sent (see quick_fixes).
std::vector<CodeAction> fixes_for(const nlohmann::json& context_diagnostics,
                                  const nlohmann::json& published);

// The code actions for the diagnostics of a codeAction request's context. A diagnostic the
// client sends back without its data is matched, by range and code, in `published` (the last
// diagnostics sent for the document).
nlohmann::json quick_fixes(std::string_view uri, const nlohmann::json& context_diagnostics,
                           const nlohmann::json& published);

}  // namespace tarnwick::lsp
