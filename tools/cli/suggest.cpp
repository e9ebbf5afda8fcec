#include "cli/suggest.hpp"

#include <algorithm>

#include "tarnwick/core/hints.hpp"
#include "tarnwick/core/lint.hpp"

namespace tarnwick::cli {

namespace {

// Compared without their dashes: they are the same in every option and would make a short slip
// look closer than it is.
std::string_view bare(std::string_view option) {
  while (option.starts_with('-')) option.remove_prefix(1);
  return option;
}

}  // namespace

std::string unknown_command(std::string_view word, const std::vector<std::string>& commands,
                            std::string_view program) {
  const std::vector<std::string_view> candidates(commands.begin(), commands.end());
  const std::string_view meant = core::hints::closest_candidate(word, candidates);
  std::string message = "unknown command '" + std::string(word) + "'";
  if (!meant.empty()) message += "; did you mean '" + std::string(meant) + "'?";
  std::string names;
  for (const std::string& name : commands) names += (names.empty() ? "" : ", ") + name;
  return message + " (commands: " + names + "; see " + std::string(program) + " --help)";
}

std::optional<std::string> unknown_option(const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& known) {
  std::vector<std::string_view> bare_known;
  for (const std::string& k : known) bare_known.push_back(bare(k));
  for (const std::string& word : arguments) {
    if (word == "--") break;
    if (!word.starts_with("--")) continue;
    const std::string name = word.substr(0, word.find('='));
    if (std::find(known.begin(), known.end(), name) != known.end()) continue;
    const std::string_view meant = core::hints::closest_candidate(bare(name), bare_known);
    if (meant.empty()) return std::nullopt;
    return "unknown option '" + name + "'; did you mean '--" + std::string(meant) + "'?";
  }
  return std::nullopt;
}

std::optional<std::string> unknown_lint_rule(std::string_view word) {
  // The ignore comment's warning says the same of the same slip.
  if (core::lint_rule(word)) return std::nullopt;
  return core::unknown_rule_message(word);
}

}  // namespace tarnwick::cli
