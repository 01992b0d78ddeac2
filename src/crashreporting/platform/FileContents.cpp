#include "crashreporting/platform/FileContents.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <new>

namespace crashreporting {
namespace {

/// Opened without blocking: opening a FIFO for reading would otherwise wait for a writer.
class ReadingFd {
 public:
  explicit ReadingFd(const std::filesystem::path& path)
      : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK)) {}
  ~ReadingFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  ReadingFd(const ReadingFd&) = delete;
  ReadingFd& operator=(const ReadingFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

FileContents unreadable(std::string error) {
  FileContents contents;
  contents.status = FileContents::Status::unreadable;
  contents.error = std::move(error);
  return contents;
}

FileContents readOpen(int fd, std::size_t maxBytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return unreadable(std::strerror(errno));
  if (S_ISDIR(info.st_mode)) return unreadable(std::strerror(EISDIR));
  if (!S_ISREG(info.st_mode)) return unreadable("Not a regular file");
  FileContents contents;
  if (info.st_size > 0) contents.bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), maxBytes + 1));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return unreadable(std::strerror(errno));
    }
    if (n == 0) break;
    if (contents.bytes.size() + static_cast<std::size_t>(n) > maxBytes)
      return unreadable("Larger than " + std::to_string(maxBytes) + " bytes");
    contents.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  contents.status = FileContents::Status::ok;
  return contents;
}

}  // namespace

FileContents readFileContents(const std::filesystem::path& path, std::size_t maxBytes) noexcept {
  try {
    const ReadingFd fd(path);
    if (fd.get() < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return {};
      return unreadable(std::strerror(errno));
    }
    return readOpen(fd.get(), maxBytes);
  } catch (const std::bad_alloc&) {
    FileContents contents;
    contents.status = FileContents::Status::unreadable;
    contents.error = std::strerror(ENOMEM);
    return contents;
  }
}

bool isReadableRegularFile(const std::filesystem::path& path) noexcept {
  const ReadingFd fd(path);
  struct stat info {};
  return fd.get() >= 0 && ::fstat(fd.get(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace crashreporting
