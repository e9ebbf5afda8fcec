// The tool's help beyond what CLI11 writes by itself: the main help's footer and the help of
// every command at once, from which the man page is made.
#pragma once

#include <string>
#include <string_view>

#include <CLI/CLI.hpp>

namespace tarnwick::cli {

// After the main help's options: the commands, their outputs and the exit status.
extern const char* const kFooter;

// The main help, then for each command a section "Options of COMMAND:" of its arguments and
// options, one per line as in its own help (a section and items that help2man keeps apart).
std::string help_all(const CLI::App& app, std::string_view program);

}  // namespace tarnwick::cli
