// tarnwick-config: checks and dumps tarnwick migration documents, and prints their JSON Schema.
//
// Exit status: 0 valid (or schema written); 1 the document has faults (reported on standard
// output as JSON, or on standard error as text); 2 anything else (usage, unreadable file,
// malformed YAML, a document that is not a mapping, an unwritable output file), reported as one
// line on standard error.
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include <CLI/CLI.hpp>

#include "report/reporter.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/core/schema.hpp"
#include "tarnwick/yaml/reader.hpp"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;
namespace report = tarnwick::report;

namespace {

constexpr const char* kProgram = "tarnwick-config";

struct Options {
  std::string file;
  bool discovery_only = false;
  bool strict = false;
  report::Format format = report::Format::Json;
  std::string output;  // schema: the file to write ("" or "-": standard output)
};

// A failure outside validation: one line on standard error, exit status 2.
struct Fatal {
  std::string message;
};

core::Source source_of(const std::string& file) {
  return file == "-" ? core::Source::standard_input() : core::Source::file(file);
}

void warn_duplicates(const core::LoadResult& loaded) {
  for (const yaml::DuplicateKey& d : loaded.duplicates) {
    std::cerr << loaded.name << ":" << d.second.line << ":" << d.second.column
              << ": warning: duplicate key '" << d.key << "' (first at line " << d.first.line
              << ", column " << d.first.column << "); the later value wins\n";
  }
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

// Loads the document; on success returns the record, on a fault reports it and returns nullopt.
// The records are built while the text is read, and the text goes as soon as the load returns
// (unless the reporter quotes it).
std::optional<core::DiscoveryConfiguration> load(const Options& opt, report::Reporter& reporter,
                                                 std::string& name) {
  core::LoadResult loaded;
  try {
    loaded = core::load(source_of(opt.file), {opt.discovery_only, opt.strict});
  } catch (const yaml::YamlError& e) {
    throw Fatal{e.what()};
  }
  name = loaded.name;
  if (!reporter.quotes_source()) std::string().swap(loaded.text);
  warn_duplicates(loaded);
  if (loaded.not_mapping) throw Fatal{loaded.name + ": " + loaded.not_mapping->what()};
  if (loaded.config) return std::move(loaded.config);
  reporter.report({loaded.name, loaded.text, loaded.error->errors()});
  return std::nullopt;
}

int run_check(const Options& opt) {
  std::string name;
  auto config = load(opt, *report::make_reporter(opt.format), name);
  if (!config) return 1;
  std::cerr << name << ": valid (" << summary(*config) << ")\n";
  return 0;
}

int run_dump(const Options& opt) {
  std::string name;
  auto config = load(opt, *report::make_reporter(report::Format::Json), name);
  if (!config) return 1;
  std::cout << core::dump_to_dict(*config).dump(2, ' ', false,
                                                nlohmann::ordered_json::error_handler_t::replace)
            << '\n';
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
  cmd->add_option("FILE", opt.file, "the migration document ('-' reads standard input)")
      ->required();
  cmd->add_flag("--discovery-only", opt.discovery_only,
                "relax the rules that only matter for a migration");
  cmd->add_flag("--strict", opt.strict,
                "report a key written twice in one mapping as an error (exit status 1)");
}

constexpr const char* kFooter =
    "Commands:\n"
    "  check FILE   Validate. Valid: 'FILE: valid (N accounts, N regions, N VPCs)' on standard\n"
    "               error, nothing on standard output. Faults: a JSON array on standard output,\n"
    "               one object per fault (loc, msg, type, ctx when useful, line, column); with\n"
    "               --format text, FILE:LINE:COLUMN: error: LOC: MSG blocks on standard error.\n"
    "  dump FILE    Validate, then print every field of every record (defaults included) as\n"
    "               JSON indented by 2 on standard output. Faults as check --format json.\n"
    "  schema       Print the document's JSON Schema (draft-07, indented by 2) on standard\n"
    "               output, or into the file given with --output.\n"
    "FILE may be '-' for standard input. A key written twice in one mapping is warned about on\n"
    "standard error (with --strict it is also a fault).\n\n"
    "Exit status:\n"
    "  0  the document is valid (check, dump); the schema was written (schema)\n"
    "  1  the document has faults\n"
    "  2  usage error, unreadable file, malformed YAML, a document that is not a mapping, or\n"
    "     an output file that cannot be written; one line 'tarnwick-config: error: ...' on\n"
    "     standard error";

// --format: the text is checked against the names, then turned into the format. A
// CheckedTransformer would also take the enum's numbers and name them in the help and the error;
// this way both stay CLI11's own for a set of names.
void add_format(CLI::App* cmd, report::Format& format) {
  std::vector<std::string> names;
  for (const auto& [name, value] : report::format_names()) names.push_back(name);
  cmd->add_option("--format", format, "how faults are reported: json (default) or text")
      ->type_name("TEXT")
      ->transform(CLI::Transformer(report::format_names()).description(""))
      ->transform(CLI::IsMember(names));  // transforms run last added first: the check comes first
}

struct Commands {
  CLI::App* check;
  CLI::App* dump;
  CLI::App* schema;
};

Commands add_commands(CLI::App& app, Options& opt) {
  CLI::App* check = app.add_subcommand(
      "check",
      "Validate a document. Valid: a summary on standard error, exit 0. Faults: every fault as "
      "a JSON array on standard output (--format json) or as FILE:LINE:COLUMN blocks on "
      "standard error (--format text), exit 1.");
  add_common(check, opt);
  add_format(check, opt.format);
  CLI::App* dump = app.add_subcommand(
      "dump",
      "Validate a document and print every field of every record as JSON on standard output "
      "(defaults included). Faults are reported as by check --format json.");
  add_common(dump, opt);
  CLI::App* schema = app.add_subcommand(
      "schema",
      "Print the JSON Schema (draft-07) of a migration document, indented by 2, on standard "
      "output: for editors and other tools that check YAML against a schema. Exit 0 (2 when "
      "the --output file cannot be written).");
  schema->add_option("-o,--output", opt.output,
                     "write the schema into this file instead ('-': standard output)");
  return {check, dump, schema};
}

// Runs the parsed command; a failure outside validation is one line on standard error.
int run(const Commands& commands, const Options& opt) {
  try {
    if (commands.check->parsed()) return run_check(opt);
    if (commands.schema->parsed()) return run_schema(opt);
    return run_dump(opt);
  } catch (const Fatal& f) {
    std::cerr << kProgram << ": error: " << f.message << "\n";
  } catch (const std::filesystem::filesystem_error& e) {
    std::cerr << kProgram << ": error: cannot read " << e.path1().string() << ": "
              << e.code().message() << "\n";
  } catch (const std::exception& e) {
    std::cerr << kProgram << ": error: " << e.what() << "\n";
  }
  return 2;
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

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::cerr << kProgram << ": error: " << e.what() << " (see " << kProgram << " --help)\n";
    return 2;
  }
  return run(commands, opt);
}
