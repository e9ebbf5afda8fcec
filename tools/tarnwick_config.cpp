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
#include <iostream>
#include <optional>
#include <span>
#include <sstream>
#include <string>
#include <system_error>
#include <variant>
#include <vector>

#include <CLI/CLI.hpp>

#include "cli/diff.hpp"
#include "cli/explain.hpp"
#include "cli/fix.hpp"
#include "cli/help.hpp"
#include "cli/keep.hpp"
#include "cli/paths.hpp"
#include "cli/reports.hpp"
#include "cli/suggest.hpp"
#include "lsp/server.hpp"
#include "report/fanout_reporter.hpp"
#include "report/json_reporter.hpp"
#include "report/reporter.hpp"
#include "report/text_reporter.hpp"
#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/load.hpp"
#include "tarnwick/core/schema.hpp"
#include "tarnwick/yaml/emitter.hpp"
#include "tarnwick/yaml/reader.hpp"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;
namespace report = tarnwick::report;
namespace cli = tarnwick::cli;

namespace {

constexpr const char* kProgram = "tarnwick-config";

struct Options {
  std::string file;                // dump
  std::vector<std::string> files;  // check
  bool discovery_only = false;
  bool strict = false;
  std::vector<std::string> enable;  // lint rules turned on besides the default ones
  std::vector<std::string> ignore;  // lint rules turned off
  bool quiet = false;
  bool fix = false;   // check: apply the faults' fixes to the files
  bool diff = false;  // check --fix: show them as a unified diff instead
  bool unsafe_fixes = false;  // check --fix: make the fixes that change a value too
  report::Format format = report::Format::Json;
  std::string dump_format = "json";  // dump: json or yaml
  std::string output;  // schema, explain: the file to write ("" or "-": standard output)
  std::vector<std::string> reports;  // check: FORMAT=FILE, written besides the shown report
  report::ColourMode colour = report::ColourMode::Auto;
  std::string help_topic;  // help: the command whose help is printed ("": the tool's)
  std::string key_path;    // explain: the key ("": the document's top level)
  bool recursive = false;  // explain: everything below the key too
  cli::ExplainFormat explain_format = cli::ExplainFormat::text;
  cli::DiffOptions compare;  // diff OLD NEW
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

// The lint rules of a run: the default ones and those enabled, less those ignored (ignoring wins).
core::LintSet lint_of(const Options& opt) {
  core::LintSet rules = core::LintSet::defaults();
  for (const std::string& id : opt.enable) rules.add(*core::lint_rule(id));
  for (const std::string& id : opt.ignore) rules.remove(*core::lint_rule(id));
  return rules;
}

core::LoadOptions load_options(const Options& opt, bool keep_text) {
  return {.discovery_only = opt.discovery_only,
          .strict_duplicates = opt.strict,
          .mode_comment = true,
          .keep_text = keep_text,
          .lint = lint_of(opt),
          .strict_lint = opt.strict};
}

core::LoadResult load_file(const Options& opt, const std::string& file, bool keep_text = false) {
  core::LoadResult loaded = core::load(source_of(file), load_options(opt, keep_text));
  if (loaded.fatal) throw Fatal{cli::fatal_line(loaded), loaded.name, *loaded.fatal};
  return loaded;
}

// Loads a document; on success returns the record, on a fault reports it and returns nullopt.
// Warnings are reported either way. The records are built while the text is read; the text is
// kept only for a report.
std::optional<core::DiscoveryConfiguration> load(const Options& opt, const std::string& file,
                                                 report::Reporter& reporter, std::string& name) {
  core::LoadResult loaded = load_file(opt, file);
  name = loaded.name;
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
    cli::keep_until_exit(std::move(*config));
    return 0;
  } catch (const Fatal& f) {
    say_fatal(f);
    reporter.report_fatal(f.name, f.fault);
    return 2;
  }
}

// The document's text with its faults' fixes made, checked again; nullopt when no fault has a
// fix, or when the result would not be read at all (said on standard error; nothing is written).
std::optional<core::LoadResult> fixed_document(const Options& opt, const core::LoadResult& loaded,
                                               std::string& fixed, std::size_t& count,
                                               std::size_t& unsafe_left) {
  const std::span<const core::ErrorDetail> groups[] = {loaded.faults(), loaded.warnings};
  const std::vector<cli::TextEdit> edits =
      cli::fix_edits(loaded.text, groups, opt.unsafe_fixes, unsafe_left);
  if (edits.empty()) return std::nullopt;
  fixed = cli::apply_edits(loaded.text, edits);
  core::LoadResult after =
      core::load(core::Source::text(fixed, loaded.name), load_options(opt, true));
  if (after.fatal) {
    std::cerr << kProgram << ": " << loaded.name
              << ": fixes not applied: the fixed text would not be read (" << after.fatal->msg
              << ")\n";
    return std::nullopt;
  }
  if (opt.diff) std::cout << cli::unified_diff(loaded.name, loaded.text, fixed, edits);
  count = edits.size();
  return after;
}

// "FILE: fixed 2 faults; 1 unsafe fix not made (--unsafe-fixes applies it)": nothing when
// there was nothing to fix.
void say_fixed(const std::string& name, std::string_view done, std::size_t count,
               std::size_t unsafe_left, std::string_view does) {
  if (count == 0 && unsafe_left == 0) return;
  std::cerr << name << ": ";
  if (count != 0) std::cerr << done << " " << count << (count == 1 ? " fault" : " faults");
  if (unsafe_left != 0) {
    std::cerr << (count != 0 ? "; " : "") << unsafe_left
              << (unsafe_left == 1 ? " unsafe fix" : " unsafe fixes")
              << " not made: each changes a value (--unsafe-fixes " << does
              << (unsafe_left == 1 ? " it)" : " them)");
  }
  std::cerr << "\n";
}

// check --fix on one document: every fix made and the file rewritten whole (keeping its
// permissions; a symbolic link's target is rewritten), then what is left reported as check does.
// With --diff, the fixes are shown and nothing is written or reported; 1 when there are some.
int fix_one(const Options& opt, const std::string& file, report::Reporter& reporter) {
  try {
    if (file == "-" && !opt.diff) throw Fatal{"--fix cannot rewrite standard input (see --diff)"};
    core::LoadResult loaded = load_file(opt, file, true);
    std::string fixed;
    std::size_t count = 0, unsafe_left = 0;
    std::optional<core::LoadResult> after = fixed_document(opt, loaded, fixed, count, unsafe_left);
    if (opt.diff) {
      say_fixed(loaded.name, "would fix", count, unsafe_left, "shows");
      return count != 0 ? 1 : 0;
    }
    if (after) {
      const std::filesystem::path target = std::filesystem::canonical(file);
      report::write_whole(target, fixed, std::filesystem::status(target).permissions());
    }
    say_fixed(loaded.name, "fixed", count, unsafe_left, "applies");
    if (after) {
      loaded = std::move(*after);
      loaded.text = std::move(fixed);
    }
    if (!loaded.faults().empty() || !loaded.warnings.empty()) {
      reporter.report({loaded.name, loaded.text, loaded.faults(), loaded.warnings});
    }
    if (!loaded.config) return 1;
    if (!opt.quiet) std::cerr << loaded.name << ": valid (" << summary(*loaded.config) << ")\n";
    return 0;
  } catch (const Fatal& f) {
    say_fatal(f);
    if (!opt.diff) reporter.report_fatal(f.name, f.fault);
    return 2;
  } catch (const report::WriteError& e) {
    say_fatal({e.what()});
    return 2;
  }
}

// A folder met on the walk that could not be listed: reported as a document that could not be
// read.
int unreadable_folder(const cli::Target& target, report::Reporter& reporter) {
  core::ErrorDetail fault;
  fault.msg = target.unreadable;
  fault.type = std::string(core::kind::kUnreadableFile);
  fault.about = core::About::document;
  const Fatal f{target.unreadable, target.path, std::move(fault)};
  say_fatal(f);
  reporter.report_fatal(f.name, f.fault);
  return 2;
}

int run_check(const Options& opt) {
  const std::vector<cli::Target> targets = cli::expand_arguments(opt.files);
  std::ostringstream silenced;  // --fix --diff shows the fixes alone
  const auto reporter =
      opt.diff ? report::make_reporter_on(opt.format, silenced, TARNWICK_VERSION, false)
               : cli::run_reporter(opt.format, opt.colour, opt.reports, targets, TARNWICK_VERSION);
  int worst = 0;
  for (const cli::Target& target : targets) {
    const int status = !target.unreadable.empty() ? unreadable_folder(target, *reporter)
                       : opt.fix                  ? fix_one(opt, target.path, *reporter)
                                                  : check_one(opt, target.path, *reporter);
    worst = std::max(worst, status);
  }
  try {
    reporter->finish();
  } catch (const std::exception& e) {  // a --report file not written
    say_fatal({e.what()});
    worst = 2;
  }
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
    report::TextReporter(std::cerr, report::colour_wanted(opt.colour, report::stderr_environment()))
        .report({loaded.name, loaded.text, {}, loaded.warnings});
  }
  nlohmann::ordered_json plain = core::dump_to_dict(*loaded.config);
  cli::keep_until_exit(std::move(*loaded.config));
  if (opt.dump_format == "yaml") {
    std::cout << yaml::to_yaml(plain);
  } else {
    std::cout << plain.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << '\n';
  }
  cli::keep_until_exit(std::move(plain));
  return 0;
}

int run_schema(const Options& opt) {
  const std::string text = core::document_schema().dump(2) + '\n';
  if (opt.output.empty() || opt.output == "-") {
    std::cout << text << std::flush;
    return 0;
  }
  // Written whole or not at all: a build step must never leave a truncated schema behind.
  report::write_whole(opt.output, text);
  return 0;
}

// A key path that names no key, or several, is a usage error like any other.
int run_explain(const Options& opt) {
  const std::string text = cli::explain(opt.key_path, opt.recursive, opt.explain_format);
  if (opt.output.empty() || opt.output == "-") {
    std::cout << text << std::flush;
    return 0;
  }
  report::write_whole(opt.output, text);  // a generated reference is never left half written
  return 0;
}

void add_common(CLI::App* cmd, Options& opt) {
  cmd->add_flag("--discovery-only", opt.discovery_only,
                "relax the rules that only matter for a migration");
  cmd->add_flag("--strict", opt.strict,
                "report a key written twice in one mapping, and every lint warning, as an error "
                "(exit status 1)");
  const CLI::Validator lint_rule(
      [](std::string& id) { return cli::unknown_lint_rule(id).value_or(std::string()); }, "");
  cmd->add_option("--ignore", opt.ignore,
                  "turn off the lint rule RULE (duplicate-vpc-id, duplicate-account-id, "
                  "duplicate-region, account-id-digits, bare-address, truthy); repeatable")
      ->type_name("RULE")
      ->allow_extra_args(false)
      ->check(lint_rule);
  cmd->add_option("--enable", opt.enable,
                  "turn on a lint rule that is off by default (truthy); repeatable")
      ->type_name("RULE")
      ->allow_extra_args(false)
      ->check(lint_rule);
}

// The option text of a set of names (formats, colour modes), in their order.
template <typename Value>
std::vector<std::string> names_of(const std::vector<std::pair<std::string, Value>>& table) {
  std::vector<std::string> names;
  for (const auto& [name, value] : table) names.push_back(name);
  return names;
}

// An option whose text is one of a table's names, turned into its value. A CheckedTransformer
// would also take the enum's numbers and name them in the help and the error; this way both stay
// CLI11's own for a set of names.
template <typename Value>
CLI::Option* add_choice(CLI::App* cmd, const std::string& name, Value& value,
                        const std::vector<std::pair<std::string, Value>>& table,
                        const std::string& description) {
  return cmd->add_option(name, value, description)
      ->type_name("TEXT")
      ->transform(CLI::Transformer(table).description(""))
      ->transform(CLI::IsMember(names_of(table)));  // transforms run last added first
}

void add_check_options(CLI::App* check, Options& opt) {
  add_choice(check, "--format", opt.format, report::format_names(),
             "how faults are reported: json (default), text, sarif, github or concise");
  add_choice(check, "--color", opt.colour, report::colour_mode_names(),
             "colour the text report: auto (default: on a terminal, unless NO_COLOR or "
             "TERM=dumb; FORCE_COLOR forces it), always or never");
  check->add_option("--report", opt.reports,
                    "also write the report in FORMAT (json, text, sarif, github, concise) into "
                    "FILE, whole or not at all; repeatable")
      ->type_name("FORMAT=FILE")
      ->allow_extra_args(false)
      ->check(CLI::Validator(
          [](std::string& value) {
            std::string why;
            return cli::parse_report_file(value, why) ? std::string() : why;
          },
          ""));
  check->add_flag("--quiet", opt.quiet, "print nothing for a valid document");
  CLI::Option* fix = check->add_flag(
      "--fix", opt.fix,
      "apply the safe fixes the faults carry to the files (a misspelt key, a choice's letter "
      "case), changing no other byte, written whole; then report what is left");
  check->add_flag("--unsafe-fixes", opt.unsafe_fixes,
                  "with --fix: also apply the fixes that change a value (host bits cleared, a "
                  "zone read as its region, a misspelt choice, a value made a list)")
      ->needs(fix);
  check->add_flag("--diff", opt.diff,
                  "with --fix: print the fixes as a unified diff on standard output instead; "
                  "nothing is written or reported, exit 1 when there are fixes")
      ->needs(fix);
}

struct Commands {
  CLI::App* check;
  CLI::App* dump;
  CLI::App* schema;
  CLI::App* explain;
  CLI::App* diff;
  CLI::App* lsp;
  CLI::App* help;

  std::vector<CLI::App*> all() const { return {check, dump, schema, explain, diff, lsp, help}; }
};

CLI::App* add_explain(CLI::App& app, Options& opt) {
  CLI::App* explain = app.add_subcommand(
      "explain",
      "Explain a key of a migration document: its type, default, whether it is required (and in "
      "which mode), its choices, its description and the checks about it; with no KEYPATH the "
      "document's top level. Exit 0; 2 for a key path that names no key or several.");
  explain->add_option("KEYPATH", opt.key_path,
                      "the key as the document writes it (account_info.0.regions.0.vpcs.0."
                      "crvn_cidr; indexes may be left out), or its last keys when they name one "
                      "key (crvn_cidr)");
  explain->add_flag("-r,--recursive", opt.recursive, "also explain every key below it");
  add_choice(explain, "--format", opt.explain_format, cli::explain_format_names(),
             "text (default), json (stable, for tools), markdown (the reference) or paths (one "
             "key path a line)");
  explain->add_option("-o,--output", opt.output,
                      "write it into this file instead ('-': standard output)");
  return explain;
}

Commands add_commands(CLI::App& app, Options& opt) {
  CLI::App* check = app.add_subcommand(
      "check",
      "Validate documents, or every *.yaml and *.yml file under a folder. Valid: a summary on "
      "standard error, exit 0. Faults: every fault as a JSON array on standard output (--format "
      "json), as FILE:LINE:COLUMN blocks on standard error (--format text), as a SARIF 2.1.0 "
      "log (--format sarif), as workflow commands (--format github) or as one line per fault "
      "(--format concise) on standard output, exit 1. Several documents: the worst status.");
  check->add_option("FILE", opt.files,
                    "the migration documents, or folders of them ('-' reads standard input)")
      ->required();
  add_common(check, opt);
  add_check_options(check, opt);
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
  CLI::App* explain = add_explain(app, opt);
  CLI::App* diff = cli::add_diff(app, opt.compare);
  CLI::App* lsp = app.add_subcommand(
      "lsp",
      "Serve the Language Server Protocol on standard input and output, for editors: the whole "
      "check as diagnostics while typing, hovers, completion, an outline and quick fixes.");
  // Editor clients that start servers "over stdio" often add this flag: standard input and
  // output is the only transport, so it is taken and changes nothing.
  lsp->add_flag("--stdio")->description("talk over standard input and output (the only transport)");
  CLI::App* help = app.add_subcommand("help", "Print the help of a command, or of the tool.");
  help->add_option("COMMAND", opt.help_topic, "the command (none: the tool's own help)");
  return {check, dump, schema, explain, diff, lsp, help};
}

std::vector<std::string> command_names(const Commands& commands) {
  std::vector<std::string> names;
  for (const CLI::App* sub : commands.all()) names.push_back(sub->get_name());
  return names;
}

// `help [COMMAND]`: what `[COMMAND] --help` prints; an unknown command is a usage error.
int run_help(const CLI::App& app, const Commands& commands, const std::string& topic) {
  // The formatter itself: App::help would show the selected command's, which is `help`.
  if (topic.empty()) {
    std::cout << app.get_formatter()->make_help(&app, kProgram, CLI::AppFormatMode::Normal);
    return 0;
  }
  for (const CLI::App* sub : commands.all()) {
    if (sub->get_name() == topic) {
      std::cout << sub->help(kProgram);
      return 0;
    }
  }
  std::cerr << kProgram << ": error: "
            << cli::unknown_command(topic, command_names(commands), kProgram) << "\n";
  return 2;
}

// Runs the parsed command; a failure outside validation is one line on standard error.
int run(const CLI::App& app, const Commands& commands, const Options& opt) {
  try {
    if (commands.check->parsed()) return run_check(opt);
    if (commands.schema->parsed()) return run_schema(opt);
    if (commands.explain->parsed()) return run_explain(opt);
    if (commands.diff->parsed()) return cli::run_diff(opt.compare);
    if (commands.lsp->parsed()) return tarnwick::lsp::serve_stdio();
    if (commands.help->parsed()) return run_help(app, commands, opt.help_topic);
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

// The command named on the command line (the first word that is not an option), or nullptr when
// none is; sets `unknown` to a word that names no command.
const CLI::App* named_command(int argc, char** argv, const Commands& commands,
                              std::string& unknown) {
  for (int i = 1; i < argc; ++i) {
    const std::string word = argv[i];
    if (word.starts_with("-")) continue;
    for (const CLI::App* sub : commands.all()) {
      if (sub->get_name() == word) return sub;
    }
    unknown = word;
    return nullptr;
  }
  return nullptr;
}

// A parse failure in one line; an unknown option names the closest one of its command.
std::string parse_failure(const CLI::ParseError& e, const CLI::App& app, const CLI::App* command,
                          std::vector<std::string> arguments) {
  std::vector<std::string> known;
  for (const CLI::App* a : {&app, command}) {
    if (a == nullptr) continue;
    for (const CLI::Option* o : a->get_options()) {
      for (const std::string& name : o->get_lnames()) known.push_back("--" + name);
    }
  }
  const auto suggestion = cli::unknown_option(arguments, known);
  std::string help = std::string(kProgram) + (command ? " " + command->get_name() : "");
  return (suggestion ? *suggestion : std::string(e.what())) + " (see " + help + " --help)";
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
  // After the commands, which would each inherit it.
  app.set_help_all_flag("--help-all", "Print this help message with every command's options");
  app.footer(cli::kFooter);  // after the subcommands, so that their own help does not repeat it

  // CLI11 would only say that a command is required: name the word and what was meant.
  std::string unknown;
  const CLI::App* command = named_command(argc, argv, commands, unknown);
  if (!unknown.empty()) {
    std::cerr << kProgram << ": error: "
              << cli::unknown_command(unknown, command_names(commands), kProgram) << "\n";
    return 2;
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (dynamic_cast<const CLI::CallForAllHelp*>(&e) != nullptr) {
      std::cout << cli::help_all(app, kProgram);
      return 0;
    }
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::cerr << kProgram << ": error: "
              << parse_failure(e, app, command, {argv + 1, argv + argc})
              << "\n";
    return 2;
  }
  return run(app, commands, opt);
}
