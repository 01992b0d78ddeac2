#pragma once

#include <cstddef>
#include <filesystem>

#include "platform/base/StoredFile.h"

// The one way the library reads a stored file whole: the bounded, non-blocking reader the app's settings use too.
// A read error is never taken for an empty file.

namespace crashreporting {

using tilvane::FileContents;

/// Larger than any file the library stores; a caller that knows its file's bound passes its own.
inline constexpr std::size_t kMaxStoredFileBytes = 256u * 1024 * 1024;

inline FileContents readFileContents(const std::filesystem::path& path,
                                     std::size_t maxBytes = kMaxStoredFileBytes) noexcept {
  return tilvane::readFileContents(path, maxBytes);
}

/// One attempt at opening `path` for reading (without blocking): whether it is a readable regular file, and else
/// the errno of a passing reason it failed for (0 when the reason is the file's own).
struct FileOpenCheck {
  bool readable = false;
  int passingError = 0;
};
FileOpenCheck checkReadableRegularFile(const std::filesystem::path& path) noexcept;

/// Whether `path` is a regular file this process can open for reading (checked without blocking).
bool isReadableRegularFile(const std::filesystem::path& path) noexcept;

/// Whether a failed call's errno tells of a passing shortage or an interruption (too many open files, no memory or
/// buffers, try again, interrupted): it says nothing about the file, which is left as it is for a later attempt.
bool isPassingError(int error) noexcept;

/// The errno of a passing reason for which opening `path` for reading fails now (checked without blocking); 0 when
/// it opens, or fails for any other reason.
int openFailsForNow(const std::filesystem::path& path) noexcept;

/// Whether a read failed for a passing reason.
inline bool failedForNow(const FileContents& contents) noexcept {
  return contents.status == FileContents::Status::unreadable && isPassingError(contents.errorNumber);
}

}  // namespace crashreporting
