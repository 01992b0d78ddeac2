#include "platform/base/StoredFile.h"

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <utility>

namespace tilvane {
namespace {

/// Closes its descriptor when it goes.
class Fd {
 public:
  explicit Fd(int fd) : fd_(fd) {}
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

constexpr int kNoWait = O_CLOEXEC | O_NOCTTY | O_NONBLOCK;

FileContents unreadable(std::string error, int errorNumber = 0) {
  FileContents contents;
  contents.status = FileContents::Status::unreadable;
  contents.error = std::move(error);
  contents.errorNumber = errorNumber;
  return contents;
}

std::optional<std::string> kindOf(const struct stat& info) {
  if (S_ISREG(info.st_mode)) return std::nullopt;
  if (S_ISDIR(info.st_mode)) return "a folder";
  if (S_ISFIFO(info.st_mode)) return "a FIFO";
  if (S_ISLNK(info.st_mode)) return "a symbolic link";
  if (S_ISSOCK(info.st_mode)) return "a socket";
  return "a device";
}

FileContents readOpen(int fd, std::size_t maxBytes) {
  struct stat info {};
  if (::fstat(fd, &info) != 0) return unreadable(std::strerror(errno), errno);
  if (S_ISDIR(info.st_mode)) return unreadable(std::strerror(EISDIR), EISDIR);
  if (!S_ISREG(info.st_mode)) return unreadable("Not a regular file");
  FileContents contents;
  if (info.st_size > 0) contents.bytes.reserve(std::min(static_cast<std::size_t>(info.st_size), maxBytes + 1));
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(fd, buffer, sizeof buffer);
    if (n < 0) {
      if (errno == EINTR) continue;
      return unreadable(std::strerror(errno), errno);
    }
    if (n == 0) break;
    if (contents.bytes.size() + static_cast<std::size_t>(n) > maxBytes)
      return unreadable("Larger than " + std::to_string(maxBytes) + " bytes");
    contents.bytes.append(buffer, static_cast<std::size_t>(n));
  }
  contents.status = FileContents::Status::ok;
  return contents;
}

/// The inode flags that forbid removing a file or an entry of a folder.
bool removalForbidden(int fd) {
  int flags = 0;
  return ::ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0 && (flags & (FS_IMMUTABLE_FL | FS_APPEND_FL)) != 0;
}

}  // namespace

FileContents readFileContents(const std::filesystem::path& path, std::size_t maxBytes) noexcept {
  try {
    const Fd fd(::open(path.c_str(), O_RDONLY | kNoWait));
    if (fd.get() < 0) {
      if (errno == ENOENT || errno == ENOTDIR) return {};
      return unreadable(std::strerror(errno), errno);
    }
    return readOpen(fd.get(), maxBytes);
  } catch (const std::bad_alloc&) {
    return unreadable(std::strerror(ENOMEM), ENOMEM);
  }
}

int openRegularFileForWriting(const std::filesystem::path& path, int flags, mode_t mode, std::string& error) noexcept {
  // O_TRUNC only once the file is known to be one: a device must not be truncated, nor a FIFO opened by it.
  const int fd = ::open(path.c_str(), (flags & ~O_TRUNC) | kNoWait, mode);
  if (fd < 0) {
    // A FIFO without a reader answers ENXIO to a non-blocking open for writing.
    error = errno == ENXIO ? "Not a regular file (a FIFO)" : std::strerror(errno);
    return -1;
  }
  // errno tells the caller why, also where the open itself succeeded.
  const auto fail = [&](int code, std::string why) {
    ::close(fd);
    error = std::move(why);
    errno = code;
    return -1;
  };
  struct stat info {};
  if (::fstat(fd, &info) != 0) return fail(errno, std::strerror(errno));
  if (const auto kind = kindOf(info)) return fail(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, "Not a regular file (" + *kind + ")");
  if ((flags & O_TRUNC) != 0 && ::ftruncate(fd, 0) != 0) return fail(errno, std::strerror(errno));
  const int status = ::fcntl(fd, F_GETFL);
  if (status != -1) ::fcntl(fd, F_SETFL, status & ~O_NONBLOCK);
  return fd;
}

std::optional<std::string> notARegularFile(const std::filesystem::path& path) noexcept {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return std::nullopt;
  return kindOf(info);
}

std::optional<std::string> whyNotRemovable(const std::filesystem::path& path) noexcept {
  try {
    const std::filesystem::path folder = path.has_parent_path() ? path.parent_path() : ".";
    if (::access(folder.c_str(), W_OK | X_OK) != 0) return std::strerror(errno);
    const Fd folderFd(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | kNoWait));
    if (folderFd.get() >= 0 && removalForbidden(folderFd.get())) return std::strerror(EPERM);
    // Only a regular file or a folder is looked into: opening anything else could wake a device.
    struct stat info {};
    if (::lstat(path.c_str(), &info) != 0 || !(S_ISREG(info.st_mode) || S_ISDIR(info.st_mode))) return std::nullopt;
    const Fd fd(::open(path.c_str(), O_RDONLY | O_NOFOLLOW | kNoWait));
    if (fd.get() >= 0 && removalForbidden(fd.get())) return std::strerror(EPERM);
    return std::nullopt;
  } catch (const std::bad_alloc&) {
    return std::strerror(ENOMEM);
  }
}

}  // namespace tilvane
