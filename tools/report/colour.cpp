#include "report/colour.hpp"

#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace tarnwick::report {

namespace {

bool given(const char* value) {
  return value != nullptr && *value != '\0';
}

}  // namespace

const std::vector<std::pair<std::string, ColourMode>>& colour_mode_names() {
  static const std::vector<std::pair<std::string, ColourMode>> names{
      {"auto", ColourMode::Auto}, {"always", ColourMode::Always}, {"never", ColourMode::Never}};
  return names;
}

bool colour_wanted(ColourMode mode, const ColourEnvironment& env) {
  switch (mode) {
    case ColourMode::Always:
      return true;
    case ColourMode::Never:
      return false;
    case ColourMode::Auto:
      break;
  }
  if (given(env.force_color)) return true;
  // An empty NO_COLOR is not a request: the convention counts only a value.
  if (given(env.no_color)) return false;
  if (env.term != nullptr && std::string_view(env.term) == "dumb") return false;
  return env.terminal;
}

ColourEnvironment stderr_environment() {
  return {::isatty(STDERR_FILENO) == 1, std::getenv("NO_COLOR"), std::getenv("FORCE_COLOR"),
          std::getenv("TERM")};
}

}  // namespace tarnwick::report
