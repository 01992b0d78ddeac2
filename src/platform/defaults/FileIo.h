#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
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

/// The permissions writeFileAtomically gives the file it writes.
enum class FileMode {
  /// 0600, whatever stood there: a file only the program reads.
  ownerOnly,
  /// Those of the file it replaces; a new file gets 0644 less the umask. A file the user keeps (settings).
  keepReplaced,
};

/// Replaces `file` with `bytes` so that a reader sees either the old or the new contents, never a part: writes a
/// temporary file beside it (`<name>.saving-XXXXXX`, see removeLeftTemporaries), flushes it to disk, gives it its
/// mode, renames it over `file` and flushes the folder. Creates missing parent folders. Returns false with a reason
/// in `error` and leaves `file` as it was on failure.
bool writeFileAtomically(const std::filesystem::path& file, std::string_view bytes, std::string& error,
                         FileMode mode = FileMode::ownerOnly);

/// Removes the regular files (never links, folders or FIFOs) in `folder` that `isLeft` names as left by a write
/// that was cut short.
void removeLeftFiles(const std::filesystem::path& folder,
                     const std::function<bool(const std::filesystem::directory_entry&)>& isLeft);

/// Removes the temporary files an interrupted writeFileAtomically of `file` left beside it (a process killed
/// between the write and the rename). Only names of that pattern are touched; the caller holds whatever keeps
/// another writer of `file` from writing at the same time.
void removeLeftTemporaries(const std::filesystem::path& file);

/// Copies `from` byte for byte to `to`, which must not exist yet, and flushes the copy to disk. Returns false with
/// a reason in `error`, and leaves nothing at `to`, on failure.
bool copyFileExclusively(const std::filesystem::path& from, const std::filesystem::path& to, std::string& error);

}  // namespace tilvane::defaults
