// tarnwick-config: checks and dumps tarnwick migration documents, and prints their JSON Schema.
//
// Exit status: 0 valid (or schema written); 1 the document has faults (reported on standard
// output as JSON, or on standard error as text); 2 anything else (usage, unreadable file,
// malformed YAML, a document that is not a mapping, an unwritable output file), reported as one
// line on standard error.
#include <unistd.h>

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

#include "tarnwick/core/config_vpc_migration.hpp"
#include "tarnwick/core/schema.hpp"
#include "tarnwick/yaml/reader.hpp"

#ifndef TARNWICK_VERSION
#define TARNWICK_VERSION "0.0.0"
#endif

namespace core = tarnwick::core;
namespace yaml = tarnwick::yaml;

namespace {

constexpr const char* kProgram = "tarnwick-config";

struct Options {
  std::string file;
  bool discovery_only = false;
  bool strict = false;
  std::string format = "json";
  std::string output;  // schema: the file to write ("" or "-": standard output)
};

// A failure outside validation: one line on standard error, exit status 2.
struct Fatal {
  std::string message;
};

bool colour_on_stderr() {
  return ::isatty(STDERR_FILENO) == 1 && std::getenv("NO_COLOR") == nullptr;
}

// The document's text and its name in messages ("-" reads standard input).
struct Source {
  std::string name;
  std::string text;
};

Source read_source(const std::string& file) {
  if (file == "-") return {"<stdin>", yaml::read_stdin_text()};
  return {file, yaml::read_file_text(file)};
}

// The document's lines, indexed once so that a report of many faults stays linear.
class SourceLines {
 public:
  explicit SourceLines(std::string_view text) : text_(text) {
    starts_.push_back(0);
    for (std::size_t i = 0; i < text.size(); ++i) {
      if (text[i] == '\n') starts_.push_back(i + 1);
    }
  }

  // Line n (1-based) without its line end; empty when there is no such line.
  std::string_view line(std::uint32_t n) const {
    if (n == 0 || n > starts_.size()) return {};
    const std::size_t start = starts_[n - 1];
    std::size_t end = n < starts_.size() ? starts_[n] - 1 : text_.size();
    if (end > start && text_[end - 1] == '\r') --end;
    return text_.substr(start, end - start);
  }

 private:
  std::string_view text_;
  std::vector<std::size_t> starts_;
};

void warn_duplicates(const Source& src, const std::vector<yaml::DuplicateKey>& duplicates) {
  for (const yaml::DuplicateKey& d : duplicates) {
    std::cerr << src.name << ":" << d.second.line << ":" << d.second.column
              << ": warning: duplicate key '" << d.key << "' (first at line " << d.first.line
              << ", column " << d.first.column << "); the later value wins\n";
  }
}

core::ErrorDetail duplicate_error(const yaml::DuplicateKey& d) {
  core::ErrorDetail e;
  for (const yaml::DuplicateKey::Step& step : d.path) {
    if (const auto* index = std::get_if<std::size_t>(&step)) {
      e.loc.emplace_back(static_cast<std::int64_t>(*index));
    } else {
      e.loc.emplace_back(std::get<std::string>(step));
    }
  }
  e.loc.emplace_back(d.key);
  e.msg = "duplicate key '" + d.key + "' (first at line " + std::to_string(d.first.line) +
          "); the later value overrides the earlier one";
  e.type = "value_error.duplicate_key";
  e.mark = d.second;
  return e;
}

void print_text_report(const Source& src, const core::ValidationError& error) {
  const bool colour = colour_on_stderr();
  const char* red = colour ? "\033[1;31m" : "";
  const char* green = colour ? "\033[1;32m" : "";
  const char* bold = colour ? "\033[1m" : "";
  const char* reset = colour ? "\033[0m" : "";
  // A longer line is not quoted: a report must stay readable, and linear in the input.
  constexpr std::size_t kMaxQuotedLine = 1000;
  const SourceLines lines(src.text);
  for (const core::ErrorDetail& e : error.errors()) {
    std::cerr << bold << src.name;
    if (e.mark.known()) std::cerr << ":" << e.mark.line << ":" << e.mark.column;
    std::cerr << ":" << reset << " " << red << "error:" << reset << " " << bold
              << core::loc_text(e.loc) << ":" << reset << " " << e.msg << "\n";
    if (!e.mark.known()) continue;
    const std::string_view line = lines.line(e.mark.line);
    if (line.size() > kMaxQuotedLine) {
      std::cerr << "  (line " << e.mark.line << " is " << line.size() << " bytes long)\n";
      continue;
    }
    std::string caret;
    std::size_t chars = 0;
    for (char c : line) {
      if (chars + 1 >= e.mark.column) break;
      if ((static_cast<unsigned char>(c) & 0xC0) == 0x80) continue;  // inside a character
      caret += c == '\t' ? '\t' : ' ';
      ++chars;
    }
    std::cerr << "  " << line << "\n  " << caret << green << "^" << reset << "\n";
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
// The records are built while the text is read, and the text goes as soon as it is read (unless
// a text report may quote it).
std::optional<core::DiscoveryConfiguration> load(const Options& opt, Source& src,
                                                 bool text_report) {
  std::vector<core::ErrorDetail> errors;
  core::DocumentRead read;
  try {
    read = core::read_document(src.text, src.name, opt.discovery_only);
  } catch (const yaml::YamlError& e) {
    throw Fatal{e.what()};
  }
  if (!text_report) std::string().swap(src.text);
  warn_duplicates(src, read.duplicates);
  if (read.not_mapping) throw Fatal{src.name + ": " + read.not_mapping->what()};
  if (read.error) errors = std::move(read.error)->errors();
  if (opt.strict) {
    for (const auto& d : read.duplicates) errors.push_back(duplicate_error(d));
  }
  if (errors.empty()) return std::move(read.config);

  core::ValidationError report(std::string(core::DiscoveryConfiguration::schema().name()),
                               std::move(errors));
  if (text_report) {
    print_text_report(src, report);
  } else {
    std::cout << report.json() << '\n' << std::flush;
  }
  return std::nullopt;
}

int run_check(const Options& opt) {
  Source src = read_source(opt.file);
  auto config = load(opt, src, opt.format == "text");
  if (!config) return 1;
  std::cerr << src.name << ": valid (" << summary(*config) << ")\n";
  return 0;
}

int run_dump(const Options& opt) {
  Source src = read_source(opt.file);
  auto config = load(opt, src, false);
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

}  // namespace

int main(int argc, char** argv) {
  CLI::App app{
      "Checks and dumps tarnwick VPC migration documents (YAML), and prints their JSON Schema."};
  app.name(kProgram);
  app.set_version_flag("--version", std::string(kProgram) + " " + TARNWICK_VERSION);
  app.require_subcommand(1);

  Options opt;
  CLI::App* check = app.add_subcommand(
      "check",
      "Validate a document. Valid: a summary on standard error, exit 0. Faults: every fault as "
      "a JSON array on standard output (--format json) or as FILE:LINE:COLUMN blocks on "
      "standard error (--format text), exit 1.");
  add_common(check, opt);
  check->add_option("--format", opt.format, "how faults are reported: json (default) or text")
      ->check(CLI::IsMember({"json", "text"}));
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
  // Set after the subcommands so that their own help does not repeat it.
  app.footer(
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
      "     standard error");

  try {
    app.parse(argc, argv);
  } catch (const CLI::ParseError& e) {
    if (e.get_exit_code() == 0) return app.exit(e);  // --help, --version
    std::cerr << kProgram << ": error: " << e.what() << " (see " << kProgram << " --help)\n";
    return 2;
  }

  try {
    if (check->parsed()) return run_check(opt);
    if (schema->parsed()) return run_schema(opt);
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
