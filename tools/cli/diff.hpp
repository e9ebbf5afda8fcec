// `diff OLD NEW`: what changed between two migration documents, compared as loaded records
// (defaults applied, values in their typed form), not as text.
#pragma once

#include <string>

namespace CLI {
class App;
}

namespace tarnwick::cli {

struct DiffOptions {
  std::string old_file;
  std::string new_file;
  bool discovery_only = false;
  std::string format = "text";  // text, json or markdown
};

// The `diff` command, its arguments read into `opt`.
CLI::App* add_diff(CLI::App& app, DiffOptions& opt);

// 0 equal, 1 different (the differences on standard output), 2 when either document fails the
// check (one line on standard error naming OLD or NEW).
int run_diff(const DiffOptions& opt);

}  // namespace tarnwick::cli
