// What the tool says about a word on its command line it does not know: the command or option
// probably meant, found by the same edit distance as the hints of document faults.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick::cli {

// "unknown command 'chek'; did you mean 'check'? (commands: check, dump; see P --help)", the
// suggestion only when one is close.
std::string unknown_command(std::string_view word, const std::vector<std::string>& commands,
                            std::string_view program);

// The first option of `arguments` (words after the program and command; "--name" or
// "--name=value") that is none of `known`, with the closest known one: "unknown option
// '--formt'; did you mean '--format'?". Nothing when every option is known or none is close
// (the parser's own message is kept then). Words after "--" are not options.
std::optional<std::string> unknown_option(const std::vector<std::string>& arguments,
                                          const std::vector<std::string>& known);

// "unknown lint rule 'truthi'; did you mean 'truthy'? (rules: duplicate-vpc-id, ...)", or
// nothing when `word` is a lint rule's id.
std::optional<std::string> unknown_lint_rule(std::string_view word);

}  // namespace tarnwick::cli
