// tilvane_scenario [script]: plays a scenario on the simulated desktop (see ScenarioRunner.h for the commands;
// without a script, a built-in one) and prints the log and the frames before and after. Everything it stores
// goes to a temporary folder that is removed at the end.
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iostream>
#include <sstream>

#include "ScenarioRunner.h"
#include "ScenarioScript.h"

namespace {
// A temporary home for the database and the settings, removed when the object goes.
class TemporaryHome {
 public:
  TemporaryHome() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tilvane-scenario-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) return;
    path_ = pattern;
    setenv("XDG_DATA_HOME", (path_ / "data").c_str(), 1);
    setenv("XDG_CONFIG_HOME", (path_ / "config").c_str(), 1);
  }
  ~TemporaryHome() {
    std::error_code ignored;
    if (!path_.empty()) std::filesystem::remove_all(path_, ignored);
  }
  TemporaryHome(const TemporaryHome&) = delete;
  TemporaryHome& operator=(const TemporaryHome&) = delete;
  bool ok() const { return !path_.empty(); }

 private:
  std::filesystem::path path_;
};
}  // namespace

int main(int argc, char** argv) {
  using namespace tilvane::scenario;
  if (argc > 2 || (argc == 2 && (std::string(argv[1]) == "-h" || std::string(argv[1]) == "--help"))) {
    std::cerr << "usage: tilvane_scenario [script]\n";
    return 2;
  }
  std::string text(defaultScript());
  if (argc == 2) {
    std::ifstream in(argv[1], std::ios::binary);
    if (!in) {
      std::cerr << "cannot read " << argv[1] << '\n';
      return 2;
    }
    std::ostringstream content;
    content << in.rdbuf();
    text = content.str();
  }
  std::string error;
  const auto script = parseScript(text, &error);
  if (!script) {
    std::cerr << error << '\n';
    return 1;
  }
  TemporaryHome home;
  if (!home.ok()) {
    std::cerr << "cannot make a temporary folder\n";
    return 2;
  }
  int status = 0;
  {
    ScenarioRunner runner(std::cout);
    if (!runner.run(*script, &error)) {
      std::cerr << error << '\n';
      status = 1;
    }
  }
  std::cout.flush();
  return status;
}
