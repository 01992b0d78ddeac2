#include "support/TestEnvironment.h"

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "platform/base/SharedInstance.h"

namespace tilvane::test {

ScopedTempDir::ScopedTempDir() {
  std::string tmpl = (std::filesystem::temp_directory_path() / "tilvane-test-XXXXXX").string();
  if (char* made = mkdtemp(tmpl.data())) path_ = made;
  else throw std::runtime_error("mkdtemp failed");
}

ScopedTempDir::~ScopedTempDir() {
  std::error_code ec;
  std::filesystem::remove_all(path_, ec);
}

ScopedEnv::ScopedEnv(std::string name, std::optional<std::string> value) : name_(std::move(name)) {
  if (const char* old = std::getenv(name_.c_str())) previous_ = old;
  if (value)
    setenv(name_.c_str(), value->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

ScopedEnv::~ScopedEnv() {
  if (previous_)
    setenv(name_.c_str(), previous_->c_str(), 1);
  else
    unsetenv(name_.c_str());
}

std::string readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::size_t occurrences(const std::string& text, const std::string& part) {
  std::size_t found = 0;
  for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++found;
  return found;
}

WorldTest::WorldTest()
    : dataHome_("XDG_DATA_HOME", (temp_.path() / "data").string()),
      configHome_("XDG_CONFIG_HOME", (temp_.path() / "config").string()),
      runtimeDir_("XDG_RUNTIME_DIR", (temp_.path() / "run").string()),
      scope_(loop_) {
  SharedInstances::resetAll();
}

WorldTest::~WorldTest() { SharedInstances::resetAll(); }

}  // namespace tilvane::test
