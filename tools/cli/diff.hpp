// `diff OLD NEW`: what changed between two migration documents, compared as loaded records
// (defaults applied, values in their typed form), not as text.
#pragma once

#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct DiffOptions {
  std::string old_file;
  std::string new_file;
  // As Git runs an external diff: PATH OLD-FILE OLD-HEX OLD-MODE NEW-FILE NEW-HEX NEW-MODE, the
  // five after OLD and NEW here (then OLD holds the path and NEW the old file).
  std::vector<std::string> git_rest;
  bool discovery_only = false;
  std::string format = "text";  // text, json or markdown
};

// The `diff` command, its arguments read into `opt`.
CLI::App* add_diff(CLI::App& app, DiffOptions& opt);

// 0 equal, 1 different (the differences on standard output), 2 when either document fails the
// check (one line on standard error naming OLD or NEW). Run by Git (seven arguments), 0 for
// different too: Git stops the whole diff at a status that is not 0.
int run_diff(const DiffOptions& opt);

}  // namespace tarnwick::cli
