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

/// Whether `path` is a regular file this process can open for reading (checked without blocking).
bool isReadableRegularFile(const std::filesystem::path& path) noexcept;

}  // namespace crashreporting
