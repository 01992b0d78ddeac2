#pragma once

#include <filesystem>
#include <memory>
#include <string>

namespace tilvane::ipc {

/// The running instance's exclusive lock (flock) on a file in the user's private runtime folder, held for the
/// process's whole life. Whoever holds it is the instance; the kernel lets it go when the process dies, so a
/// killed instance never blocks the next start.
class InstanceLock {
 public:
  /// Takes the lock at `file` without waiting. Null when another process holds it (`error` left empty) or the
  /// file cannot be used (`error` says why).
  static std::unique_ptr<InstanceLock> tryTake(const std::filesystem::path& file, std::string& error);
  /// Removes the file, then lets the lock go.
  ~InstanceLock();
  InstanceLock(const InstanceLock&) = delete;
  InstanceLock& operator=(const InstanceLock&) = delete;

  /// The folder the lock file lies in.
  std::filesystem::path folder() const { return file_.parent_path(); }
  /// The instance's socket: beside the lock file, of the same name.
  std::filesystem::path socket() const { return std::filesystem::path(file_).replace_extension(".socket"); }

 private:
  InstanceLock(std::filesystem::path file, int fd) : file_(std::move(file)), fd_(fd) {}
  std::filesystem::path file_;
  int fd_;
};

}  // namespace tilvane::ipc
