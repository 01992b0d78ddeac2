#include "platform/defaults/FileIo.h"

#include "platform/base/StoredFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdint>
#include <optional>
#include <cstring>
#include <random>
#include <utility>

namespace tilvane::defaults {
namespace {

/// Closes its descriptor when it goes.
class UniqueFd {
 public:
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { reset(); }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  /// Closes now; false when close reported an error (which for a written file can mean lost data).
  bool reset() {
    if (fd_ < 0) return true;
    const int rc = ::close(std::exchange(fd_, -1));
    return rc == 0;
  }

 private:
  int fd_;
};

/// Removes the temporary file unless the rename took it.
class TempFileGuard {
 public:
  explicit TempFileGuard(std::string path) : path_(std::move(path)) {}
  ~TempFileGuard() {
    if (!path_.empty()) ::unlink(path_.c_str());
  }
  TempFileGuard(const TempFileGuard&) = delete;
  TempFileGuard& operator=(const TempFileGuard&) = delete;
  void release() { path_.clear(); }

 private:
  std::string path_;
};

std::string describeErrno(const char* what, const std::filesystem::path& path) {
  return std::string(what) + " " + path.string() + ": " + std::strerror(errno);
}

constexpr std::string_view kTemporaryInfix = ".saving-";
constexpr std::size_t kTemporaryTail = 6;
constexpr std::string_view kTemporaryLetters = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";

/// Creates a temporary file beside `file` with `mode` (the umask applies), named for removeLeftTemporaries;
/// its path goes to `path`.
int createTemporary(const std::filesystem::path& file, mode_t mode, std::string& path) {
  // Names need only differ from a leftover's and a concurrent writer's: the clock and the process do.
  std::mt19937 random(static_cast<std::uint32_t>(std::chrono::steady_clock::now().time_since_epoch().count()) ^
                      static_cast<std::uint32_t>(::getpid()));
  std::uniform_int_distribution<std::size_t> pick(0, kTemporaryLetters.size() - 1);
  for (int attempt = 0; attempt < 100; ++attempt) {
    path = file.string() + std::string(kTemporaryInfix);
    for (std::size_t i = 0; i < kTemporaryTail; ++i) path += kTemporaryLetters[pick(random)];
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, mode);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

bool isTemporaryOf(const std::string& name, const std::string& fileName) {
  if (name.size() != fileName.size() + kTemporaryInfix.size() + kTemporaryTail) return false;
  if (name.compare(0, fileName.size(), fileName) != 0) return false;
  if (name.compare(fileName.size(), kTemporaryInfix.size(), kTemporaryInfix) != 0) return false;
  return name.find_first_not_of(kTemporaryLetters, fileName.size() + kTemporaryInfix.size()) == std::string::npos;
}

bool writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t n = ::write(fd, bytes.data(), bytes.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    bytes.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

}  // namespace

FileRead readFileBounded(const std::filesystem::path& file, std::size_t maxBytes) {
  // The one bounded reader, which never blocks: a FIFO in the file's place would otherwise hang the caller.
  FileContents contents = readFileContents(file, maxBytes);
  FileRead result;
  if (contents.status == FileContents::Status::absent) return result;
  result.status = contents.ok() ? FileRead::Status::ok : FileRead::Status::failed;
  result.bytes = std::move(contents.bytes);
  if (!contents.ok()) result.error = "cannot read " + file.string() + ": " + contents.error;
  return result;
}

bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string& error,
                         FileMode mode) {
  const std::filesystem::path folder = file.parent_path().empty() ? "." : file.parent_path();
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) {
    error = "cannot create " + folder.string() + ": " + ec.message();
    return false;
  }

  // The mode of the file replaced is set once the contents are written; a new one gets the usual mode, which the
  // umask narrows as it does for any new file.
  std::optional<mode_t> replacedMode;
  struct stat replaced {};
  if (mode == FileMode::keepReplaced && ::stat(file.c_str(), &replaced) == 0) replacedMode = replaced.st_mode & 07777;
  const mode_t created = mode == FileMode::keepReplaced && !replacedMode ? 0644 : 0600;
  std::string tempPath;
  UniqueFd fd(createTemporary(file, created, tempPath));
  if (!fd.valid()) {
    error = describeErrno("cannot create a temporary file beside", file);
    return false;
  }
  TempFileGuard guard(tempPath);
  if (!writeAll(fd.get(), bytes)) {
    error = describeErrno("cannot write", tempPath);
    return false;
  }
  if (replacedMode && ::fchmod(fd.get(), *replacedMode) != 0) {
    error = describeErrno("cannot set the permissions of", tempPath);
    return false;
  }
  if (::fsync(fd.get()) != 0) {
    error = describeErrno("cannot flush", tempPath);
    return false;
  }
  if (!fd.reset()) {
    error = describeErrno("cannot close", tempPath);
    return false;
  }
  if (::rename(tempPath.c_str(), file.c_str()) != 0) {
    error = describeErrno("cannot replace", file);
    return false;
  }
  guard.release();

  // Make the rename itself durable. The new contents are already in place, so a failure here is not reported.
  UniqueFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (dir.valid()) ::fsync(dir.get());
  return true;
}

void removeLeftFiles(const std::filesystem::path& folder,
                     const std::function<bool(const std::filesystem::directory_entry&)>& isLeft) {
  std::error_code ec;
  std::filesystem::directory_iterator it(folder, ec);
  for (; !ec && it != std::filesystem::directory_iterator(); it.increment(ec)) {
    std::error_code kind;
    if (it->symlink_status(kind).type() != std::filesystem::file_type::regular || !isLeft(*it)) continue;
    std::error_code removal;
    std::filesystem::remove(it->path(), removal);
  }
}

void removeLeftTemporaries(const std::filesystem::path& file) {
  const std::string fileName = file.filename().string();
  removeLeftFiles(file.parent_path().empty() ? "." : file.parent_path(),
                  [&](const std::filesystem::directory_entry& entry) {
                    return isTemporaryOf(entry.path().filename().string(), fileName);
                  });
}

bool copyFileExclusively(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error) {
  std::error_code ec;
  if (!std::filesystem::copy_file(from, to, std::filesystem::copy_options::none, ec)) {
    error = "cannot copy " + from.string() + " to " + to.string() + ": " + ec.message();
    if (ec != std::errc::file_exists) std::filesystem::remove(to, ec);
    return false;
  }
  UniqueFd copy(::open(to.c_str(), O_RDONLY | O_CLOEXEC));
  if (!copy.valid() || ::fsync(copy.get()) != 0) {
    error = describeErrno("cannot flush", to);
    std::filesystem::remove(to, ec);
    return false;
  }
  return true;
}

}  // namespace tilvane::defaults
