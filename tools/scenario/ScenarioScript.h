#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane::scenario {

/// One line of a scenario: its command word and arguments ("quoted words" keep their blanks).
struct Step {
  int line = 0;
  std::string command;
  std::vector<std::string> args;
};

/// A scenario script: one command per line, blank lines and lines starting with '#' skipped.
struct Script {
  std::vector<Step> steps;
};

/// Splits `text` into steps. Absent, with the reason in `error` ("line 3: unterminated quote"), when a line
/// cannot be read.
std::optional<Script> parseScript(std::string_view text, std::string* error);

/// The scenario run when no file is given: an editor with two remembered windows running at start, a drag,
/// a display attached, a mail application launched and quit.
std::string_view defaultScript();

}  // namespace tilvane::scenario
