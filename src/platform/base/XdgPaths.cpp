#include "platform/base/XdgPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

namespace tilvane::xdg {
namespace {
// Relative values are invalid by the XDG rules and are ignored.
std::filesystem::path absoluteEnv(const char* name) {
  const char* v = std::getenv(name);
  if (!v || !*v || v[0] != '/') return {};
  return v;
}
}  // namespace

std::filesystem::path home() {
  if (auto h = absoluteEnv("HOME"); !h.empty()) return h;
  if (const passwd* pw = getpwuid(getuid()); pw && pw->pw_dir) return pw->pw_dir;
  return "/tmp";
}

std::filesystem::path dataHome() {
  auto p = absoluteEnv("XDG_DATA_HOME");
  return p.empty() ? home() / ".local" / "share" : p;
}

std::filesystem::path configHome() {
  auto p = absoluteEnv("XDG_CONFIG_HOME");
  return p.empty() ? home() / ".config" : p;
}

std::filesystem::path runtimeDir() {
  if (auto p = absoluteEnv("XDG_RUNTIME_DIR"); !p.empty()) {
    mkdir(p.c_str(), 0700);  // the session normally makes it; a missing one is made private
    return p;
  }
  // /tmp is shared ground: the fallback is used only as a folder of ours that no one else may enter (made
  // 0700 here, or found so, and not a link).
  const std::filesystem::path folder = std::filesystem::path("/tmp") / ("tilvane-" + std::to_string(getuid()));
  if (mkdir(folder.c_str(), 0700) != 0 && errno != EEXIST) return {};
  struct stat info {};
  const bool own = lstat(folder.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == getuid() &&
                   (info.st_mode & 077) == 0;
  return own ? folder : std::filesystem::path();
}

std::vector<std::filesystem::path> dataDirs() {
  std::vector<std::filesystem::path> dirs;
  const char* v = std::getenv("XDG_DATA_DIRS");
  std::string s = (v && *v) ? v : "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= s.size()) {
    const std::size_t end = s.find(':', start);
    const std::string part = s.substr(start, end == std::string::npos ? std::string::npos : end - start);
    if (!part.empty() && part[0] == '/') dirs.emplace_back(part);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return dirs;
}

}  // namespace tilvane::xdg
