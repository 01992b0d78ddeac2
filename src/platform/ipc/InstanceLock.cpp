#include "platform/ipc/InstanceLock.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tilvane::ipc {

std::unique_ptr<InstanceLock> InstanceLock::tryTake(const std::filesystem::path& file, std::string& error) {
  error.clear();
  // A holder that ends removes the file before it lets go: a lock taken on a file no longer at the path is
  // worth nothing (a later start would lock a new file there), so take the one that is there now.
  for (int attempt = 0; attempt < 100; ++attempt) {
    const int fd = open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, 0600);
    if (fd < 0) {
      error = "cannot open \"" + file.string() + "\": " + std::strerror(errno);
      return nullptr;
    }
    int taken = flock(fd, LOCK_EX | LOCK_NB);
    while (taken != 0 && errno == EINTR) taken = flock(fd, LOCK_EX | LOCK_NB);
    if (taken != 0) {
      const int cause = errno;
      close(fd);
      if (cause != EWOULDBLOCK) error = "cannot lock \"" + file.string() + "\": " + std::strerror(cause);
      return nullptr;
    }
    struct stat held {}, there {};
    if (fstat(fd, &held) == 0 && stat(file.c_str(), &there) == 0 && held.st_dev == there.st_dev &&
        held.st_ino == there.st_ino)
      return std::unique_ptr<InstanceLock>(new InstanceLock(file, fd));
    close(fd);
  }
  error = file.native() + " keeps being replaced";
  return nullptr;
}

InstanceLock::~InstanceLock() {
  unlink(file_.c_str());
  close(fd_);
}

}  // namespace tilvane::ipc
