#include "cli/help.hpp"

#include <memory>

namespace tarnwick::cli {

const char* const kFooter =
    "Commands:\n"
    "  check FILE...  Validate each (a folder: every *.yaml and *.yml file under it, sorted by\n"
    "               path). Valid: 'FILE: valid (N accounts, N regions, N VPCs)' on standard\n"
    "               error (nothing with --quiet), nothing on standard output. Faults: a JSON\n"
    "               array on standard output, one object per fault (loc, msg, type, ctx when\n"
    "               useful, line, column, file, end_line, end_column, severity);\n"
    "               with --format text, FILE:LINE:COLUMN: error: LOC: MSG blocks on standard\n"
    "               error; --format sarif: a SARIF 2.1.0 log; --format github: workflow commands;\n"
    "               --format concise: one FILE:LINE:COLUMN: error: LOC: MSG line per fault.\n"
    "               --report FORMAT=FILE also writes that format into FILE.\n"
    "  dump FILE    Validate, then print every field of every record (defaults included) as\n"
    "               JSON indented by 2 on standard output (--format yaml: YAML in block\n"
    "               style). Faults as check --format json.\n"
    "  schema       Print the document's JSON Schema (draft-07, indented by 2) on standard\n"
    "               output, or into the file given with --output.\n"
    "  explain [KEYPATH]  What a key is: type, default, whether it is required (and in\n"
    "               which mode), choices, description and the checks about it; --recursive\n"
    "               also every key below it; --format json, markdown or paths.\n"
    "  lsp          Serve the Language Server Protocol on standard input and output (for\n"
    "               editors); exit 0 after a shutdown request, 1 when the client goes away.\n"
    "  help [COMMAND]  Print the help of the command (or this help).\n"
    "FILE may be '-' for standard input. A key written twice in one mapping is warned about on\n"
    "standard error (with --strict it is also a fault). --help-all shows every command's\n"
    "options.\n\n"
    "Exit status:\n"
    "  0  the document is valid (check, dump); the schema was written (schema); the key was\n"
    "     explained (explain)\n"
    "  1  the document has faults (several documents: the worst status wins)\n"
    "  2  usage error (explain: a key path that names no key, or several), unreadable file,\n"
    "     malformed YAML, a document that is not a mapping, or an output file that cannot be\n"
    "     written; one line 'tarnwick-config: error: ...' on standard error";

std::string help_all(const CLI::App& app, std::string_view program) {
  std::string text = app.get_formatter()->make_help(&app, std::string(program),
                                                    CLI::AppFormatMode::Normal);
  const auto formatter = std::dynamic_pointer_cast<CLI::Formatter>(app.get_formatter());
  if (!formatter) return text;
  for (const CLI::App* sub : app.get_subcommands([](const CLI::App*) { return true; })) {
    text += "\nOptions of " + sub->get_name() + ":\n";
    for (const CLI::Option* option : sub->get_options()) {
      if (option == sub->get_help_ptr()) continue;  // every command has it
      text += formatter->make_option(option, option->get_positional());
    }
  }
  return text;
}

}  // namespace tarnwick::cli
