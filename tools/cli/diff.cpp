#include "cli/diff.hpp"

#include <future>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>

#include <CLI/CLI.hpp>
#include <nlohmann/json.hpp>

#include "cli/diff_model.hpp"
#include "cli/keep.hpp"
#include "cli/reports.hpp"
#include "report/concise_reporter.hpp"
#include "tarnwick/core/load.hpp"

namespace tarnwick::cli {

namespace {

// A document that does not pass the check, said as check says its first fault, naming which.
struct Unchecked {
  std::string line;
};

// The document loaded, its text kept when asked for (NEW's for --format github: the file is not
// read twice).
core::LoadResult loaded(const std::string& file, const char* which, const DiffOptions& opt,
                        bool keep_text = false) {
  const core::Source source =
      file == "-" ? core::Source::standard_input() : core::Source::file(file);
  core::LoadResult r = core::load(
      source,
      {.discovery_only = opt.discovery_only, .mode_comment = true, .keep_text = keep_text});
  if (r.fatal) throw Unchecked{std::string(which) + ": " + fatal_line(r)};
  if (!r.config && r.faults().empty())
    throw Unchecked{std::string(which) + ": " + r.name + ": not checked"};
  if (!r.config) {
    std::ostringstream concise;
    report::ConciseReporter(concise).report({r.name, r.text, r.faults(), {}});
    std::string first = concise.str().substr(0, concise.str().find('\n'));
    const std::size_t more = r.faults().size() - 1;
    if (more != 0) first += " (and " + counted(more, "more fault", "more faults") + ")";
    throw Unchecked{std::string(which) + ": " + first};
  }
  return r;
}

}  // namespace

CLI::App* add_diff(CLI::App& app, DiffOptions& opt) {
  CLI::App* diff = app.add_subcommand(
      "diff",
      "Compare two migration documents as loaded records (defaults applied, values in their "
      "typed form): VPCs added, removed, moved (another account or region) or changed, by "
      "vpc_id; accounts, regions and every other section field by field. Exit 0 equal, 1 "
      "different, 2 when either document fails the check.");
  diff->add_option("OLD", opt.old_file, "the document before ('-' reads standard input)")
      ->required();
  diff->add_option("NEW", opt.new_file, "the document after ('-' reads standard input)")
      ->required();
  diff->add_option("GIT_ARGS", opt.git_rest,
                   "as Git's GIT_EXTERNAL_DIFF runs it: diff PATH OLD-FILE OLD-HEX OLD-MODE "
                   "NEW-FILE NEW-HEX NEW-MODE");
  diff->add_flag("--discovery-only", opt.discovery_only,
                 "relax the rules that only matter for a migration (a document's mode comment "
                 "wins)");
  diff->add_option(
          "--format", opt.format,
          "text (default, like a plan), json (stable, for tools) or markdown (a table "
          "per account, for a pull request) or github (notices at NEW's lines, for a workflow)")
      ->check(CLI::IsMember({"text", "json", "markdown", "github"}));
  return diff;
}

// Git names a side that does not exist (a file added or deleted) /dev/null: said in one line,
// there is no document to compare it with.
bool one_side_only(const std::string& path, const std::string& old_file,
                   const std::string& new_file) {
  if (old_file != "/dev/null" && new_file != "/dev/null") return false;
  std::cout << "tarnwick-config diff " << path << ": "
            << (old_file == "/dev/null" ? "a new document" : "document deleted") << "\n";
  return true;
}

int run_diff(const DiffOptions& opt) {
  const bool git = opt.git_rest.size() == 5;
  if (!git && !opt.git_rest.empty()) {
    std::cerr << "tarnwick-config: error: diff takes OLD NEW, or the seven arguments Git gives "
                 "an external diff\n";
    return 2;
  }
  const std::string& old_file = git ? opt.new_file : opt.old_file;
  const std::string& new_file = git ? opt.git_rest[2] : opt.new_file;
  if (old_file == "-" && new_file == "-") {
    std::cerr << "tarnwick-config: error: OLD and NEW cannot both be standard input\n";
    return 2;
  }
  if (git && one_side_only(opt.old_file, old_file, new_file)) return 0;
  // The two loads are independent: OLD on a thread of its own while NEW loads here, so that a
  // diff costs about what its larger document does when cores are free. OLD's fault is said
  // first, as it would be one after the other.
  std::future<core::LoadResult> old_load =
      std::async(std::launch::async, [&] { return loaded(old_file, "OLD", opt); });
  core::LoadResult before, after;
  std::optional<Unchecked> new_fault;
  try {
    after = loaded(new_file, "NEW", opt, opt.format == "github");
  } catch (const Unchecked& u) {
    new_fault = u;
  }
  try {
    before = old_load.get();
    if (new_fault) throw *new_fault;
  } catch (const Unchecked& u) {
    std::cerr << "tarnwick-config: error: " << u.line << "\n";
    return 2;
  }
  const Differences d = differences(*before.config, *after.config);
  if (git && opt.format == "text") std::cout << "tarnwick-config diff " << opt.old_file << "\n";
  if (opt.format == "json") {
    std::cout << diff_json(d).dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace)
              << "\n";
  } else if (opt.format == "github") {
    std::cout << diff_github(d, new_file == "-" ? "<stdin>" : new_file, after.text);
  } else if (opt.format == "markdown") {
    std::cout << diff_markdown(d);
  } else {
    std::cout << diff_text(d);
  }
  const int status = d.empty() || git ? 0 : 1;
  // Two large documents' records are left to the end of the process, as check leaves its one.
  keep_until_exit(std::pair(std::move(before), std::move(after)));
  return status;
}

}  // namespace tarnwick::cli
