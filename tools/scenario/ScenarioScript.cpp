#include "ScenarioScript.h"

#include <sstream>

namespace tilvane::scenario {
namespace {
bool splitWords(std::string_view line, std::vector<std::string>& words) {
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && (line[i] == ' ' || line[i] == '\t')) ++i;
    if (i >= line.size()) break;
    std::string word;
    if (line[i] == '"') {
      const std::size_t end = line.find('"', i + 1);
      if (end == std::string_view::npos) return false;
      word = std::string(line.substr(i + 1, end - i - 1));
      i = end + 1;
    } else {
      while (i < line.size() && line[i] != ' ' && line[i] != '\t') word += line[i++];
    }
    words.push_back(std::move(word));
  }
  return true;
}
}  // namespace

std::optional<Script> parseScript(std::string_view text, std::string* error) {
  Script script;
  std::istringstream in{std::string(text)};
  std::string line;
  int number = 0;
  while (std::getline(in, line)) {
    ++number;
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') continue;
    std::vector<std::string> words;
    if (!splitWords(line, words)) {
      if (error) *error = "line " + std::to_string(number) + ": unterminated quote";
      return std::nullopt;
    }
    Step step{number, words.front(), {words.begin() + 1, words.end()}};
    script.steps.push_back(std::move(step));
  }
  return script;
}

std::string_view defaultScript() {
  return R"(# One 1440 x 900 display, its menu bar 23 points high; two shared desktops.
spaces 2
display 0 0 1440 900 visible 0 0 1440 877
# Where the editor's two windows were left last time.
record org.example.Editor 0 0.5 0 0.5 1
record org.example.Editor 1 0 0 0.5 0.5
app org.example.Editor
window org.example.Editor "A" 100 100 400 300
window org.example.Editor "B" 200 150 400 300
start
wait 3
# The user drags A to the left half; the placement is written 2.0 s after the last move.
move org.example.Editor "A" 100 23 720 877
wait 0.5
move org.example.Editor "A" 0 23 720 877
wait 2.5
# A second display is attached: every window is loaded afresh.
display 1440 0 1920 1080
wait 3
launch org.example.Mail
window org.example.Mail "Inbox" 1500 100 800 600
wait 1.5
quit org.example.Mail
wait 1
)";
}

}  // namespace tilvane::scenario
