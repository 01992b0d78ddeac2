#pragma once

#include <cstddef>
#include <filesystem>
#include <string>

// The one way the library reads a stored file whole. Stored files may be damaged in any way (a folder, a FIFO
// or a device in a file's place, a disk's read error, a file removed meanwhile): reading never throws and never
// blocks, and says which of those it met, so that a read error is never taken for an empty file.

namespace crashreporting {

struct FileContents {
  enum class Status { ok, absent, unreadable };
  Status status = Status::absent;
  /// The bytes (ok only; may be empty).
  std::string bytes;
  /// Why it could not be read (unreadable only), e.g. "Is a directory".
  std::string error;

  bool ok() const { return status == Status::ok; }
};

/// Larger than any file the library stores; a caller that knows its file's bound passes its own.
inline constexpr std::size_t kMaxStoredFileBytes = 256u * 1024 * 1024;

/// The whole regular file at `path`, at most `maxBytes`. Absent when nothing is there (or it went before it could
/// be opened); unreadable for anything but a regular file, a read error or a larger file.
FileContents readFileContents(const std::filesystem::path& path, std::size_t maxBytes = kMaxStoredFileBytes) noexcept;

/// Whether `path` is a regular file this process can open for reading (checked without blocking).
bool isReadableRegularFile(const std::filesystem::path& path) noexcept;

}  // namespace crashreporting
