// tarnwick-config: checks and dumps tarnwick migration documents, and prints their JSON Schema.
//
// Exit status: 0 valid (or schema written); 1 a document has faults (reported on standard output
// as JSON, SARIF or workflow commands, or on standard error as text); 2 anything else (usage,
// unreadable file, malformed YAML, a document that is not a mapping, an unwritable output file),
// reported as one line on standard error (and, for a document, as a fault of the report). With
// several documents, the worst status wins.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include <CLI/CLI.hpp>

#include "lsp/server.hpp"
#include "report/json_reporter.hpp"
#include "report/reporter.hpp"
#include "report/text_reporter.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/core/schema.hpp"
#include "tarnwick/yaml/reader.hpp"
#include "yaml_dump.hpp"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;
namespace report = tarnwick::report;

namespace {

constexpr const char* kProgram = "tarnwick-config";

struct Options {
  std::string file;                // dump
  std::vector<std::string> files;  // check
  bool discovery_only = false;
  bool strict = false;
  bool quiet = false;
  report::Format format = report::Format::Json;
  std::string dump_format = "json";  // dump: json or yaml
  std::string output;                // schema: the file to write ("" or "-": standard output)
};

// A failure outside validation: one line on standard error, exit status 2. A document's own
// (unreadable, malformed, not a mapping) is also a fault of the report, for programs reading it.
struct Fatal {
  std::string message;
  std::string name = {};  // the document's name; empty for a failure of no document
  core::ErrorDetail fault{};
};

core::Source source_of(const std::string& file) {
  return file == "-" ? core::Source::standard_input() : core::Source::file(file);
}

// The one line a document that could not be validated gets on standard error.
std::string fatal_line(const core::LoadResult& loaded) {
  if (loaded.cause) {
    try {
      std::rethrow_exception(loaded.cause);
    } catch (const yaml::YamlError& e) {
      return e.what();  // with the file, the line and the reader's context
    } catch (...) {
    }
  }
  if (loaded.fatal->type == core::kind::kNotMapping) return loaded.name + ": " + loaded.fatal->msg;
  return loaded.fatal->msg;
}

std::string summary(const core::DiscoveryConfiguration& config) {
  std::size_t regions = 0, vpcs = 0;
  for (const auto& account : config.account_info) {
    regions += account.regions.size();
    for (const auto& region : account.regions) vpcs += region.vpcs.size();
  }
  auto plural = [](std::size_t n, const char* one, const char* many) {
    return std::to_string(n) + " " + (n == 1 ? one : many);
  };
  return plural(config.account_info.size(), "account", "accounts") + ", " +
         plural(regions, "region", "regions") + ", " + plural(vpcs, "VPC", "VPCs");
}

core::LoadResult load_file(const Options& opt, const std::string& file) {
  core::LoadResult loaded = core::load(source_of(file), {.discovery_only = opt.discovery_only,
                                                         .strict_duplicates = opt.strict,
                                                         .mode_comment = true});
  if (loaded.fatal) throw Fatal{fatal_line(loaded), loaded.name, *loaded.fatal};
  return loaded;
}

// Loads a document; on success returns the record, on a fault reports it and returns nullopt.
// Warnings are reported either way. The records are built while the text is read; the text is
// kept only for a report.
std::optional<core::DiscoveryConfiguration> load(const Options& opt, const std::string& file,
                                                 report::Reporter& reporter, std::string& name) {
  core::LoadResult loaded = load_file(opt, file);
  name = loaded.name;
  if (loaded.config && loaded.warnings.empty()) std::string().swap(loaded.text);
  if (!loaded.faults().empty() || !loaded.warnings.empty()) {
    reporter.report({loaded.name, loaded.text, loaded.faults(), loaded.warnings});
  }
  if (loaded.config) return std::move(loaded.config);
  return std::nullopt;
}

void say_fatal(const Fatal& f) {
  std::cerr << kProgram << ": error: " << f.message << "\n";
}

// Checks one document: 0 valid, 1 faults, 2 not checked at all. Each is reported.
int check_one(const Options& opt, const std::string& file, report::Reporter& reporter) {
  try {
    std::string name;
    auto config = load(opt, file, reporter, name);
    if (!config) return 1;
    if (!opt.quiet) std::cerr << name << ": valid (" << summary(*config) << ")\n";
    return 0;
  } catch (const Fatal& f) {
    say_fatal(f);
    reporter.report_fatal(f.name, f.fault);
    return 2;
  }
}

int run_check(const Options& opt) {
  const auto reporter = report::make_reporter(opt.format, TARNWICK_VERSION);
  int worst = 0;
  for (const std::string& file : opt.files)
    worst = std::max(worst, check_one(opt, file, *reporter));
  reporter->finish();
  return worst;
}

// Faults as check --format json does; a valid document's warnings as text on standard error,
// so that standard output holds the mapping alone.
int run_dump(const Options& opt) {
  core::LoadResult loaded = load_file(opt, opt.file);
  if (!loaded.config) {
    report::JsonReporter json(std::cout);
    json.report({loaded.name, loaded.text, loaded.faults(), loaded.warnings});
    json.finish();
    return 1;
  }
  if (!loaded.warnings.empty()) {
    report::TextReporter(std::cerr, report::colour_on_stderr())
        .report({loaded.name, loaded.text, {}, loaded.warnings});
  }
  const nlohmann::ordered_json plain = core::dump_to_dict(*loaded.config);
  if (opt.dump_format == "yaml") {
    std::cout << tarnwick::tools::to_yaml(plain);
    return 0;
  }
  std::cout << plain.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << '\n';
  return 0;
}

int run_schema(const Options& opt) {
  const std::string text = core::document_schema().dump(2) + '\n';
  if (opt.output.empty() || opt.output == "-") {
    std::cout << text << std::flush;
    return 0;
  }
  // Written whole or not at all: a build step must never leave a truncated schema behind.
  const std::filesystem::path target(opt.output);
  std::filesystem::path partial = target;
  partial += ".partial";
  {
    std::ofstream out(partial, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out) {
      std::error_code ignored;
      std::filesystem::remove(partial, ignored);
      throw Fatal{"cannot write " + opt.output};
    }
  }
  std::error_code error;
  std::filesystem::rename(partial, target, error);
  if (error) {
    std::error_code ignored;
    std::filesystem::remove(partial, ignored);
    throw Fatal{"cannot write " + opt.output + ": " + error.message()};
  }
  return 0;
}

void add_common(CLI::App* cmd, Options& opt) {
  cmd->add_flag("--discovery-only", opt.discovery_only,
                "relax the rules that only matter for a migration");
  cmd->add_flag("--strict", opt.strict,
                "report a key written twice in one mapping as an error (exit status 1)");
}

constexpr const char* kFooter =
    "Commands:\n"
    "  check FILE...  Validate each. Valid: 'FILE: valid (N accounts, N regions, N VPCs)' on\n"
    "               standard error (nothing with --quiet), nothing on standard output. Faults: a\n"
    "               JSON array on standard output, one object per fault (loc, msg, type, ctx when\n"
    "               useful, line, column, file, end_line, end_column, severity);\n"
    "               with --format text, FILE:LINE:COLUMN: error: LOC: MSG blocks on standard\n"
    "               error; --format sarif: a SARIF 2.1.0 log; --format github: workflow commands.\n"
    "  dump FILE    Validate, then print every field of every record (defaults included) as\n"
    "               JSON indented by 2 on standard output (--format yaml: YAML in block\n"
    "               style). Faults as check --format json.\n"
    "  schema       Print the document's JSON Schema (draft-07, indented by 2) on standard\n"
    "               output, or into the file given with --output.\n"
    "  lsp          Serve the Language Server Protocol on standard input and output (for\n"
    "               editors); exit 0 after a shutdown request, 1 when the client goes away.\n"
    "FILE may be '-' for standard input. A key written twice in one mapping is warned about on\n"
    "standard error (with --strict it is also a fault).\n\n"
    "Exit status:\n"
    "  0  the document is valid (check, dump); the schema was written (schema)\n"
    "  1  the document has faults (several documents: the worst status wins)\n"
    "  2  usage error, unreadable file, malformed YAML, a document that is not a mapping, or\n"
    "     an output file that cannot be written; one line 'tarnwick-config: error: ...' on\n"
    "     standard error";

// --format: the text is checked against the names, then turned into the format. A
// CheckedTransformer would also take the enum's numbers and name them in the help and the error;
// this way both stay CLI11's own for a set of names.
void add_format(CLI::App* cmd, report::Format& format) {
  std::vector<std::string> names;
  for (const auto& [name, value] : report::format_names()) names.push_back(name);
  cmd->add_option("--format", format,
                  "how faults are reported: json (default), text, sarif or github")
      ->type_name("TEXT")
      ->transform(CLI::Transformer(report::format_names()).description(""))
      ->transform(CLI::IsMember(names));  // transforms run last added first: the check comes first
}

struct Commands {
  CLI::App* check;
  CLI::App* dump;
  CLI::App* schema;
  CLI::App* lsp;
};

Commands add_commands(CLI::App& app, Options& opt) {
  CLI::App* check = app.add_subcommand(
      "check",
      "Validate documents. Valid: a summary on standard error, exit 0. Faults: every fault as "
      "a JSON array on standard output (--format json), as FILE:LINE:COLUMN blocks on "
      "standard error (--format text), as a SARIF 2.1.0 log (--format sarif) or as workflow "
      "commands (--format github) on standard output, exit 1. Several documents: the worst "
      "status.");
  check->add_option("FILE", opt.files, "the migration documents ('-' reads standard input)")
      ->required();
  add_common(check, opt);
  add_format(check, opt.format);
  check->add_flag("--quiet", opt.quiet, "print nothing for a valid document");
  CLI::App* dump = app.add_subcommand(
      "dump",
      "Validate a document and print every field of every record as JSON (or YAML) on "
      "standard output (defaults included). Faults are reported as by check --format json.");
  dump->add_option("FILE", opt.file, "the migration document ('-' reads standard input)")
      ->required();
  dump->add_option("--format", opt.dump_format,
                   "how the mapping is written: json (default) or yaml")
      ->check(CLI::IsMember({"json", "yaml"}));
  add_common(dump, opt);
  CLI::App* schema = app.add_subcommand(
      "schema",
      "Print the JSON Schema (draft-07) of a migration document, indented by 2, on standard "
      "output: for editors and other tools that check YAML against a schema. Exit 0 (2 when "
      "the --output file cannot be written).");
  schema->add_option("-o,--output", opt.output,
                     "write the schema into this file instead ('-': standard output)");
  CLI::App* lsp = app.add_subcommand(
      "lsp",
      "Serve the Language Server Protocol on standard input and output, for editors: the whole "
      "check as diagnostics while typing, hovers, completion, an outline and quick fixes.");
  // Editor clients that start servers "over stdio" often add this flag: standard input and
  // output is the only transport, so it is taken and changes nothing.
  lsp->add_flag("--stdio")->description("talk over standard input and output (the only transport)");
  return {check, dump, schema, lsp};
}

// Runs the parsed command; a failure outside validation is one line on standard error.
int run(const Commands& commands, const Options& opt) {
  try {
    if (commands.check->parsed()) return run_check(opt);
    if (commands.schema->parsed()) return run_schema(opt);
    if (commands.lsp->parsed()) return tarnwick::lsp::serve_stdio();
    return run_dump(opt);
  } catch (const Fatal& f) {
    say_fatal(f);
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << kProgram << ": error: cannot read " << e.path1().string() << ": "
              << e.code().message() << "\n";
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": error: " << e.what() << "\n";
  }
  return 2;
}

// The first word that is not an option names the command: CLI11 would only say that one is
// required.
bool unknown_command(int argc, char** argv, const Commands& commands) {
  const std::vector<const CLI::App*> all{commands.check, commands.dump, commands.schema,
                                         commands.lsp};
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.starts_with("-")) continue;
    std::string names;
    for (const CLI::App* sub : all) {
      if (sub->get_name() == word) return false;
      names += (names.empty() ? "" : ", ") + sub->get_name();
    }
    std::cerr << kProgram << ": error: unknown command '" << word << "' (commands: " << names
              << "; see " << kProgram << " --help)\n";
    return true;
  }
  return false;
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Checks and dumps tarnwick VPC migration documents (YAML), and prints their JSON Schema."};
  app.name(kProgram);
  app.set_version_flag("--version", std::string(kProgram) + " " + TARNWICK_VERSION);
  app.require_subcommand(1);

  Options opt;
  const Commands commands = add_commands(app, opt);
  app.footer(kFooter);  // after the subcommands, so that their own help does not repeat it

  if (unknown_command(argc, argv, commands)) return 2;
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::cerr << kProgram << ": error: " << e.what() << " (see " << kProgram << " --help)\n";
    return 2;
  }
  return run(commands, opt);
}
