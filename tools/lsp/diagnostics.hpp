// The whole check of one text as protocol diagnostics: every fault of the document with the
// range of its node, duplicate keys as warnings, malformed YAML as one diagnostic at the error.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace tarnwick::lsp {

inline constexpr const char* kSource = "tarnwick-config";

// The mode a document asks for on its first line: "# tarnwick-config: discovery-only" (true) or
// "# tarnwick-config: migration" (false); nullopt when it names none.
std::optional<bool> mode_comment(std::string_view text);

// Diagnostics of the text (uri names it in related information). A fault whose fix is clear
// carries it as data: {"replacement": TEXT} replaces the diagnostic's range.
nlohmann::json diagnostics(std::string_view uri, std::string_view text, bool discovery_only);

}  // namespace tarnwick::lsp
