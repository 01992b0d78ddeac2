#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/store/Configuration.h"

namespace tilvane::store {

/// What a quick look at a database file found before it is opened.
enum class FileState {
  missing,   ///< no file yet: a fresh one will be made
  sound,     ///< SQLite's quick check passes
  damaged,   ///< the file is not a database, or its quick check fails
  unknown,   ///< the check itself could not run (no permission, no memory, a lock held too long, ...)
};

struct FileCheck {
  FileState state = FileState::unknown;
  /// SQLite's first complaint, or why the check could not run.
  std::string detail;
};

/// Runs SQLite's quick check on `file` (with its write-ahead log) without changing a byte of it.
FileCheck checkFile(const std::filesystem::path& file);

/// What a rebuild kept and lost.
struct RebuildResult {
  /// Tables copied whole into the fresh file, and tables left behind (unreadable, or missing from the file).
  std::vector<std::string> carried, lost;
};

/// Replaces the damaged database at `configuration.fileURL` with a fresh one holding every table of the
/// configuration that reads whole from the old file (rows in their order, columns both files know). First
/// copies the old file (and its write-ahead log, as `copy` + "-wal") to `copy`; when the copy fails nothing
/// else happens and Error is thrown (Failure::diskFull when the disk is full). The fresh file is made beside the
/// old one and renamed over it, so a failure at any step leaves the old file in place.
RebuildResult rebuildDamagedFile(const Configuration& configuration, const std::filesystem::path& copy);

/// Whether the file system holding `folder` has (almost) no room left for a writer.
bool isDiskFull(const std::filesystem::path& folder);

}  // namespace tilvane::store
