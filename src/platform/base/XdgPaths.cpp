#include "platform/base/XdgPaths.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
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

std::filesystem::path cacheHome() {
  auto p = absoluteEnv("XDG_CACHE_HOME");
  return p.empty() ? home() / ".cache" : p;
}

namespace {
// Another user who can enter or replace the folder could read our socket's messages or answer in our place.
// Empty when the folder is private to us; else what is wrong with it.
std::string privacyProblem(const std::filesystem::path& folder) {
  struct stat info {};
  if (lstat(folder.c_str(), &info) != 0) return std::strerror(errno);
  if (!S_ISDIR(info.st_mode)) return "not a folder";
  if (info.st_uid != getuid()) return "owned by user " + std::to_string(info.st_uid);
  if ((info.st_mode & 0777) != 0700) {
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", static_cast<unsigned>(info.st_mode & 07777));
    return std::string("mode ") + mode + ", not 0700";
  }
  return {};
}
}  // namespace

RuntimeFolder runtimeFolder() {
  RuntimeFolder result;
  // Appended piece by piece: g++ 12 warns falsely on "x" + std::string temporaries.
  const auto passOver = [&](const std::filesystem::path& folder, const std::string& problem) {
    if (!result.problem.empty()) result.problem.append("; ");
    result.problem.append("\"").append(folder.string()).append("\" is not a private folder of this user (");
    result.problem.append(problem).append(")");
  };
  if (auto p = absoluteEnv("XDG_RUNTIME_DIR"); !p.empty()) {
    mkdir(p.c_str(), 0700);  // the session normally makes it; a missing one is made private
    const std::string problem = privacyProblem(p);
    if (problem.empty()) {
      result.path = p;
      return result;
    }
    passOver(p, problem);
  }
  // The temporary folder is shared ground: the fallback is made 0700 here, or must be found so.
  const std::filesystem::path temporary = absoluteEnv("TMPDIR");
  const std::filesystem::path folder =
      (temporary.empty() ? std::filesystem::path("/tmp") : temporary) / ("tilvane-" + std::to_string(getuid()));
  mkdir(folder.c_str(), 0700);
  if (const std::string problem = privacyProblem(folder); !problem.empty()) {
    passOver(folder, problem);
    return result;
  }
  result.path = folder;
  if (!result.problem.empty()) result.problem += ": using " + folder.string();
  return result;
}

std::filesystem::path runtimeDir() { return runtimeFolder().path; }

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
