// What the language server's features answer, as typed values, and their one conversion to the
// protocol's JSON. The protocol's numbers (kinds, severities) live here and nowhere else.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "lsp/positions.hpp"

namespace tarnwick::lsp {

// The protocol's CompletionItemKind, SymbolKind and DiagnosticSeverity values used here. The two
// kinds are separate enumerations of the protocol: a struct is 22 as a completion, 23 as a symbol.
enum class CompletionKind { Property = 10, EnumMember = 20, Struct = 22 };
enum class SymbolKind { Namespace = 3, Package = 4, Struct = 23 };
enum class DiagnosticSeverity { Error = 1, Warning = 2, Information = 3 };

struct TextEdit {
  Range range;
  std::string new_text;
};

struct Hover {
  std::string markdown;
  Range range;  // empty: not sent
};

struct CompletionItem {
  std::string label;
  CompletionKind kind = CompletionKind::Property;
  std::string detail;
  std::optional<std::string> documentation;  // markdown
  std::optional<std::string> sort_text;
  TextEdit edit;
};

struct DocumentSymbol {
  std::string name;
  std::optional<std::string> detail;
  SymbolKind kind = SymbolKind::Struct;
  Range range;
  Range selection;
  std::optional<std::vector<DocumentSymbol>> children;  // nullopt: a leaf level (no member)
};

struct RelatedInformation {
  Range range;  // in the diagnostic's own document
  std::string message;
};

// A fault's fix as a diagnostic carries it in its data, for the quick fix asked for later.
struct Fix {
  Range range;
  std::string new_text;
  std::string title;
  bool safe = false;  // only a safe fix is the preferred quick fix (it changes no value)
};

struct Diagnostic {
  Range range;
  DiagnosticSeverity severity = DiagnosticSeverity::Error;
  std::string code;
  std::string message;
  std::vector<RelatedInformation> related;
  std::optional<Fix> fix;
};

struct CodeAction {
  std::string title;
  nlohmann::json diagnostic;  // the client's own diagnostic, sent back as it came
  TextEdit edit;
  bool preferred = false;  // a safe fix: an editor may apply it without asking
};

inline constexpr const char* kSource = "tarnwick-config";

nlohmann::json to_json(const std::optional<Hover>& hover);
nlohmann::json to_json(const std::vector<CompletionItem>& items);
nlohmann::json to_json(const std::vector<DocumentSymbol>& symbols);
// `uri` names the document of the related information.
nlohmann::json to_json(const std::vector<Diagnostic>& diagnostics, const std::string& uri);
nlohmann::json to_json(const std::vector<CodeAction>& actions, const std::string& uri);

// A diagnostic's fix as its data carries it; nullopt when it carries none that is whole.
std::optional<Fix> fix_from_data(const nlohmann::json& diagnostic);

}  // namespace tarnwick::lsp
