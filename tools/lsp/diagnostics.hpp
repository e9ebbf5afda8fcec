// The whole check of one text as protocol diagnostics: every fault of the document with the
// range of its node, duplicate keys as warnings, malformed YAML as one diagnostic at the error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/protocol.hpp"

namespace tarnwick::lsp {

// The mode a document asks for on its first line: "# tarnwick-config: discovery-only" (true) or
// "# tarnwick-config: migration" (false); nullopt when it names none.
std::optional<bool> mode_comment(std::string_view text);

// Diagnostics of the text (uri names the source in the load). A fault whose fix is clear carries
// it, for the quick fix.
std::vector<Diagnostic> check_text(std::string_view uri, std::string_view text,
                                   bool discovery_only);
// The same as the protocol's publishDiagnostics list (uri names the document in related
// information).
nlohmann::json diagnostics(std::string_view uri, std::string_view text, bool discovery_only);

}  // namespace tarnwick::lsp
