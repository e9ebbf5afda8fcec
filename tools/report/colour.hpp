// Whether a report for a person is coloured: --color, then the conventions of the environment.
#pragma once

#include <string>
#include <utility>
#include <vector>

namespace tarnwick::report {

enum class ColourMode { Auto, Always, Never };

// The option text of each mode, for the command line.
const std::vector<std::pair<std::string, ColourMode>>& colour_mode_names();

// What Auto looks at; a variable that is not set is nullptr.
struct ColourEnvironment {
  bool terminal = false;              // the report's stream is a terminal
  const char* no_color = nullptr;     // NO_COLOR
  const char* force_color = nullptr;  // FORCE_COLOR
  const char* term = nullptr;         // TERM
};

// Always and Never decide alone. Auto: FORCE_COLOR set and not empty colours; otherwise a
// terminal is coloured unless NO_COLOR is set and not empty or TERM is "dumb".
bool colour_wanted(ColourMode mode, const ColourEnvironment& env);

// The environment of standard error, where the text report goes.
ColourEnvironment stderr_environment();

}  // namespace tarnwick::report
