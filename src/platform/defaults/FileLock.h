#pragma once

#include <filesystem>
#include <string>

namespace tilvane::defaults {

/// An exclusive advisory lock (flock) on a lock file, held while the object lives: processes that share a file
/// take it around each read-merge-write, so their writes never interleave. The lock file stays in place.
class FileLock {
 public:
  /// Whether the lock's folders are made when missing: only by a writer, which needs them for what it writes. A
  /// reader leaves a folder that is not there (moved away, say) as it is.
  enum class Folders { leave, make };

  /// Tries for up to `seconds` (another holder finishes a write in far less). Not locked afterwards when the
  /// wait ran out (`error` says so), or when the lock file cannot be made (a folder that may not be written, or
  /// is missing and left so: nothing can be written beside it either; `error` says why).
  FileLock(const std::filesystem::path& lockFile, double seconds, Folders folders = Folders::leave);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool locked() const { return locked_; }
  /// True when another holder kept the lock past the wait.
  bool timedOut() const { return timedOut_; }
  const std::string& error() const { return error_; }

 private:
  int fd_ = -1;
  bool locked_ = false;
  bool timedOut_ = false;
  std::string error_;
};

}  // namespace tilvane::defaults
