#include "crashreporting/platform/FileClaims.h"

#include <fcntl.h>
#include <pthread.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstring>
#include <map>
#include <mutex>
#include <string>

#include "crashreporting/platform/Immortal.h"
#include "crashreporting/platform/ProcessShared.h"
#include "crashreporting/platform/SystemLog.h"
#include "platform/base/StoredFile.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;

/// A lock file that cannot be had: the claims kept in it are refused, and that was said once.
constexpr int kRefused = -2;
/// A lock file that could not be opened for a passing reason (too many open files, no memory, an interrupted
/// call): this claim is refused, and the next one tries again.
constexpr int kNotNow = -3;

/// Whether an open of the lock file failed because of what stands there (no regular file, a link, a loop of
/// links, not ours to write, a read-only store) rather than for a passing reason that says nothing about it.
bool cannotBeUsed(int error) {
  switch (error) {
    case ELOOP:
    case EISDIR:
    case EINVAL:  // a device or socket (openRegularFileForWriting)
    case ENXIO:   // a FIFO
    case ENODEV:
    case EACCES:
    case EPERM:
    case EROFS:
    case ENOTDIR:
    case ENAMETOOLONG:
    case ETXTBSY:
      return true;
    default:
      return false;
  }
}

/// Opens the lock file without blocking; -1 with `why` when it is absent, unusable or no regular file.
int openLockFile(const fs::path& file, std::string& why) {
  const int fd =
      tilvane::openRegularFileForWriting(file, O_RDWR | O_CREAT | O_NOFOLLOW, 0644, why);
  if (fd < 0 && errno == ELOOP) why = "Not a regular file (a symbolic link)";
  return fd;
}

/// Holds a lock on a folder while a lock file in it is set aside and made anew, so that no two processes repair
/// it at once (the second would set the first one's fresh file aside, and the two would claim in different files).
class FolderLock {
 public:
  explicit FolderLock(const fs::path& folder) : fd_(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)) {
    if (fd_ >= 0)
      while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
      }
  }
  ~FolderLock() {
    if (fd_ >= 0) ::close(fd_);  // the lock goes with the descriptor
  }
  FolderLock(const FolderLock&) = delete;
  FolderLock& operator=(const FolderLock&) = delete;

 private:
  int fd_;
};

/// This process's descriptor of each lock file: one open file description holds all its claims on that file.
class LockFiles {
 public:
  /// The descriptor, or -1 (the folder is not there yet: nothing in it to claim either), or kRefused, or kNotNow
  /// with `why`.
  int descriptor(const fs::path& file, std::string& why) {
    const std::lock_guard lock(mutex_);
    const auto found = descriptors_.find(file.string());
    if (found != descriptors_.end()) return found->second;
    int fd = openLockFile(file, why);
    if (fd < 0 && errno == ENOENT) {
      std::error_code ignored;
      fs::create_directories(file.parent_path(), ignored);
      fd = openLockFile(file, why);
      if (fd < 0 && errno == ENOENT) return -1;  // no folder: kept for a later try
    }
    // Only what shows that the file itself cannot be used sets it aside: set aside for a passing error, the file
    // whose locks the other copies hold would be replaced, and two claims files would be in use at once.
    if (fd < 0 && !cannotBeUsed(errno)) return kNotNow;
    if (fd < 0) fd = remake(file, why);
    if (fd != kNotNow) descriptors_.emplace(file.string(), fd);
    return fd;
  }

  /// Lets go of every descriptor: the claims end as they would with the process.
  void closeAll() {
    const std::lock_guard lock(mutex_);
    closeAllLocked();
  }

  /// Around fork(): the child lets go of its copies of the descriptors without unlocking anything. Its copies
  /// share the parent's open file descriptions, so it would otherwise hold the parent's claims for as long as it
  /// lives (and a release of its own would drop the parent's). Its own claims are taken anew.
  void beforeFork() { mutex_.lock(); }
  void afterForkInParent() { mutex_.unlock(); }
  void afterForkInChild() {
    closeAllLocked();
    mutex_.unlock();
  }

 private:
  void closeAllLocked() {
    for (const auto& [path, fd] : descriptors_)
      if (fd >= 0) ::close(fd);
    descriptors_.clear();
  }

  /// The lock file cannot be used (a folder or a FIFO in its place, a file of another user): it is set aside and
  /// made anew where the folder allows. Never silently without claims: then every claim is refused, said once.
  static int remake(const fs::path& file, std::string& why) {
    const FolderLock folder(file.parent_path());
    std::string again;
    int fd = openLockFile(file, again);  // another process may have made it anew meanwhile
    if (fd >= 0) return fd;
    if (errno != ENOENT && !cannotBeUsed(errno)) {
      why = again;
      return kNotNow;
    }
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::system_clock::now().time_since_epoch());
    const fs::path aside = fs::path(file).concat(".unusable-" + std::to_string(now.count()) + "-" +
                                                 std::to_string(::getpid()));
    if (::rename(file.c_str(), aside.c_str()) == 0) {
      fd = openLockFile(file, again);
      const bool notNow = fd < 0 && !cannotBeUsed(errno);
      SystemLog::write("[Zizozu] The claims file '" + file.string() + "' cannot be used (" + why +
                       "): set aside as '" + aside.string() + "'" + (fd >= 0 ? " and made anew" : ""));
      if (fd >= 0) return fd;
      why = again;
      if (notNow) return kNotNow;  // made at the next claim
    } else if (errno != ENOENT) {
      why += std::string("; it cannot be set aside: ") + std::strerror(errno);
    }
    SystemLog::write("[Zizozu] No claims can be had in '" + file.string() + "' (" + why +
                     "): what another copy of this program may be sending is left alone");
    return kRefused;
  }

  std::mutex mutex_;
  std::map<std::string, int> descriptors_;
};

LockFiles& lockFiles() {
  static Immortal<LockFiles> files([] {
    ProcessShared::registerReset([] { lockFiles().closeAll(); });
    ::pthread_atfork([] { lockFiles().beforeFork(); }, [] { lockFiles().afterForkInParent(); },
                     [] { lockFiles().afterForkInChild(); });
    return LockFiles();
  });
  return files.get();
}

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
  std::string why;
  const int fd = lockFiles().descriptor(lockFile_, why);
  if (fd == kNotNow) {
    SystemLog::write("[Zizozu] The claims file '" + lockFile_.string() + "' cannot be opened now (" + why +
                     "): '" + std::string(name) + "' is left alone this time");
    return false;
  }
  if (fd < 0) return false;
  if (lockByte(fd, name, F_WRLCK) == 0) return true;
  if (errno == EAGAIN || errno == EACCES) return false;  // another process holds it
  if (errno == ENOLCK || errno == ENOMEM) {
    SystemLog::write("[Zizozu] '" + std::string(name) + "' cannot be claimed now (" + std::strerror(errno) +
                     "): it is left alone this time");
    return false;
  }
  return true;  // a file system without such locks cannot tell: granted
}

void FileClaims::release(std::string_view name) const {
  std::string why;
  const int fd = lockFiles().descriptor(lockFile_, why);
  if (fd >= 0) lockByte(fd, name, F_UNLCK);
}

}  // namespace crashreporting
