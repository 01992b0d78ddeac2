#pragma once

#include <sys/types.h>

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

// Reading and writing a stored file without ever blocking on what stands in its place. Stored files may be damaged
// in any way (a folder, a FIFO or a device where a file belongs, a disk's read error, a file removed meanwhile):
// an open of a FIFO without a peer waits for ever, so every open here is non-blocking, and anything but a regular
// file is refused with a reason rather than read or written.

namespace tilvane {

struct FileContents {
  enum class Status { ok, absent, unreadable };
  Status status = Status::absent;
  /// The bytes (ok only; may be empty).
  std::string bytes;
  /// Why it could not be read (unreadable only), e.g. "Is a directory".
  std::string error;
  /// The errno behind `error`, when a call failed (0 for a file that is no regular file or too large).
  int errorNumber = 0;

  bool ok() const { return status == Status::ok; }
};

/// The whole regular file at `path`, at most `maxBytes`. Absent when nothing is there (or it went before it could
/// be opened); unreadable for anything but a regular file, a read error or a larger file.
FileContents readFileContents(const std::filesystem::path& path, std::size_t maxBytes) noexcept;

/// Opens the regular file at `path` for writing (`flags` as for open(2), e.g. O_WRONLY | O_CREAT | O_TRUNC) without
/// blocking: a descriptor that blocks like any file's, or -1 with `error` set when it cannot be opened or is no
/// regular file (then it is left as it was: nothing was truncated or written).
int openRegularFileForWriting(const std::filesystem::path& path, int flags, mode_t mode, std::string& error) noexcept;

/// What stands at `path` when it is there but is no regular file ("a folder", "a FIFO", "a symbolic link", "a
/// device", "a socket"); none when it is a regular file or absent. Links are not followed.
std::optional<std::string> notARegularFile(const std::filesystem::path& path) noexcept;

/// Why the file at `path` could not be removed (its folder not writable, the file or folder immutable or
/// append-only, a read-only file system); none when it can be, as far as can be told without removing it.
std::optional<std::string> whyNotRemovable(const std::filesystem::path& path) noexcept;

}  // namespace tilvane
