#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace tilvane::defaults {

/// What reading a whole file gave.
struct FileRead {
  enum class Status { ok, absent, failed };
  Status status = Status::absent;
  /// The contents (ok only).
  std::string bytes;
  /// Why the read failed (failed only).
  std::string error;
};

/// Reads a regular file of at most `maxBytes`. A missing file is `absent`; a folder, a larger file or a read
/// error is `failed` with a reason.
FileRead readFileBounded(const std::filesystem::path& file, std::size_t maxBytes);

/// Replaces `file` with `bytes` so that a reader sees either the old or the new contents, never a part: writes a
/// temporary file beside it (mode 0600), flushes it to disk, renames it over `file` and flushes the folder.
/// Creates missing parent folders. Returns false with a reason in `error` and leaves `file` as it was on failure.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string& error);

/// Copies `from` byte for byte to `to`, which must not exist yet, and flushes the copy to disk. Returns false with
/// a reason in `error`, and leaves nothing at `to`, on failure.
bool copyFileExclusively(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error);

}  // namespace tilvane::defaults
