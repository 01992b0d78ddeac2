#include "crashreporting/platform/FileClaims.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <map>
#include <mutex>
#include <string>

#include "crashreporting/platform/ProcessShared.h"

namespace crashreporting {
namespace {

/// This process's descriptor of each lock file: one open file description holds all its claims on that file.
class LockFiles {
 public:
  ~LockFiles() {
    for (const auto& [path, fd] : descriptors_)
      if (fd >= 0) ::close(fd);
  }
  /// -1 where the file cannot be opened for writing (a write lock needs it).
  int descriptor(const std::filesystem::path& file) {
    const std::lock_guard lock(mutex_);
    const auto found = descriptors_.find(file.string());
    if (found != descriptors_.end()) return found->second;
    const int fd = ::open(file.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644);
    // Not kept when it failed: the folder may only be made later.
    if (fd >= 0) descriptors_.emplace(file.string(), fd);
    return fd;
  }

 private:
  std::mutex mutex_;
  std::map<std::string, int> descriptors_;
};

int lockByte(int fd, std::string_view name, short type) {
  struct flock range {};
  range.l_type = type;
  range.l_whence = SEEK_SET;
  range.l_start = FileClaims::byteOf(name);
  range.l_len = 1;
  int result;
  do {
    result = ::fcntl(fd, F_OFD_SETLK, &range);
  } while (result != 0 && errno == EINTR);
  return result;
}

}  // namespace

off_t FileClaims::byteOf(std::string_view name) {
  // FNV-1a, kept below 2^62 so that no offset and length overflow.
  std::uint64_t hash = 14695981039346656037ull;
  for (const char c : name) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 1099511628211ull;
  }
  return static_cast<off_t>(hash >> 2);
}

bool FileClaims::claim(std::string_view name) const {
  const int fd = Shared<LockFiles>::get().descriptor(lockFile_);
  if (fd < 0) return true;
  if (lockByte(fd, name, F_WRLCK) == 0) return true;
  return errno != EAGAIN && errno != EACCES;  // a system without such locks cannot tell: granted
}

void FileClaims::release(std::string_view name) const {
  const int fd = Shared<LockFiles>::get().descriptor(lockFile_);
  if (fd >= 0) lockByte(fd, name, F_UNLCK);
}

}  // namespace crashreporting
