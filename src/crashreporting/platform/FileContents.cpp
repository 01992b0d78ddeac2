#include "crashreporting/platform/FileContents.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crashreporting {

bool isReadableRegularFile(const std::filesystem::path& path) noexcept {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return false;
  struct stat info {};
  const bool regular = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
  ::close(fd);
  return regular;
}

int openFailsForNow(const std::filesystem::path& path) noexcept {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return isPassingError(errno) ? errno : 0;
  ::close(fd);
  return 0;
}

bool isPassingError(int error) noexcept {
  switch (error) {
    case EMFILE:
    case ENFILE:
    case ENOMEM:
    case ENOBUFS:
    case EAGAIN:
    case EINTR:
      return true;
    default:
      return false;
  }
}

}  // namespace crashreporting
