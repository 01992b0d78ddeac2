#include "platform/defaults/FileLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

namespace tilvane::defaults {

FileLock::FileLock(const std::filesystem::path& lockFile, double seconds, Folders folders) {
  std::error_code ec;
  if (folders == Folders::make) std::filesystem::create_directories(lockFile.parent_path(), ec);
  fd_ = ::open(lockFile.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOCTTY, 0600);
  // A lock file made earlier in a folder that is read-only now still locks.
  if (fd_ < 0) fd_ = ::open(lockFile.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (fd_ < 0) {
    error_ = "cannot open " + lockFile.string() + ": " + std::strerror(errno);
    return;
  }
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  for (;;) {
    if (::flock(fd_, LOCK_EX | LOCK_NB) == 0) {
      locked_ = true;
      return;
    }
    if (errno == EINTR) continue;
    if (errno != EWOULDBLOCK) {
      error_ = "cannot lock " + lockFile.string() + ": " + std::strerror(errno);
      return;
    }
    if (std::chrono::steady_clock::now() >= deadline) {
      timedOut_ = true;
      error_ = "another program keeps " + lockFile.string() + " locked";
      return;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);  // closing lets the lock go
}

}  // namespace tilvane::defaults
