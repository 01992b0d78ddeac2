#include "crashreporting/platform/FileContents.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace crashreporting {

FileOpenCheck checkReadableRegularFile(const std::filesystem::path& path) noexcept {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
  if (fd < 0) return {false, isPassingError(errno) ? errno : 0};
  struct stat info {};
  const bool statted = ::fstat(fd, &info) == 0;
  const int statError = statted ? 0 : errno;
  ::close(fd);
  if (!statted) return {false, isPassingError(statError) ? statError : 0};
  return {S_ISREG(info.st_mode), 0};
}

bool isReadableRegularFile(const std::filesystem::path& path) noexcept {
  return checkReadableRegularFile(path).readable;
}

int openFailsForNow(const std::filesystem::path& path) noexcept {
  return checkReadableRegularFile(path).passingError;
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
