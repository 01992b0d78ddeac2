#include "platform/base/Relaunch.h"

#include <linux/close_range.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace tilvane {

std::string relaunchSelf() {
  // Marked rather than closed: should the start fail, this process still has its files.
  ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
  // The file's own path keeps the process's name (what ps and pkill see); a file replaced since the start is
  // gone from its path, and its image is still there.
  std::error_code error;
  std::string path = std::filesystem::read_symlink("/proc/self/exe", error).string();
  if (error || path.empty() || ::access(path.c_str(), X_OK) != 0) path = "/proc/self/exe";
  std::array<char*, 2> argv{path.data(), nullptr};
  ::execv(path.c_str(), argv.data());
  return std::string("cannot start the program again: ") + std::strerror(errno);
}

}  // namespace tilvane
