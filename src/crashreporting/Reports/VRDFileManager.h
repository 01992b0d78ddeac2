#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "crashreporting/platform/FileClaims.h"

// The crash reports on disk: one root per application under the cache folder, a versioned structure folder
// below it, and the stage folders a report folder moves through (active → processing → a package in prepared).
// Every operation logs its own failure and answers false or nothing; none throws. Hidden entries (names
// beginning with ".") are never listed, moved or removed by the folder operations.

namespace crashreporting {

class VRDInternalReport;

class VRDFileManager {
 public:
  using FileBlock = std::function<void(const std::string& path, const std::string& extension)>;
  using ReportBlock = std::function<void(std::optional<VRDInternalReport> report, const std::string& path)>;

  /// Root = $XDG_CACHE_HOME / "com.zizozu" / the bundle identifier with "/" as "_".
  VRDFileManager();
  /// A store at `rootPath` (tests).
  explicit VRDFileManager(std::string rootPath);

  const std::string& rootPath() const { return rootPath_; }

  /// Creates the folder and its parents with mode 0755.
  bool createDirectoryAtPath(const std::string& path) const;
  bool removeItemAtPath(const std::string& path) const;
  /// Takes the item out of its folder's listing at once (a rename to a hidden name), then removes it; what a
  /// process ended half-way leaves is swept by the next prepareForNewLaunch().
  bool discardItemAtPath(const std::string& path) const;
  /// Removes every visible entry; a failure does not stop the others. True when every removal succeeded.
  bool removeContentsOfDirectoryAtPath(const std::string& path) const;
  /// Moves the item into `directory` under its own name.
  bool moveItemAtPath(const std::string& path, const std::string& directory) const;
  /// Moves each visible entry in listing order; stops at the first failure, leaving the rest in place.
  bool moveItemsFromDirectory(const std::string& from, const std::string& to) const;
  /// The visible entries in name order, with their extensions; a folder that cannot be listed (said, unless it is
  /// missing) hands none, and its error is returned.
  std::error_code enumerateFilesInDirectory(const std::string& directory, const FileBlock& block) const;
  std::vector<std::string> contentsOfDirectory(const std::string& directory) const;
  std::optional<std::uint64_t> fileSizeAtPath(const std::string& path) const;

  std::string pathNamespace() const;
  std::string structurePath() const;
  std::string activePath() const;
  std::string pendingPath() const;
  std::string processingPath() const;
  std::string preparedPath() const;
  /// Where damaged packages and records are kept aside: never sent, never taken for reports, and never more
  /// than kMaxDamagedItems (the oldest go first), so a source of damage cannot fill the disk.
  std::string damagedPath() const;
  static constexpr std::size_t kMaxDamagedItems = 10;
  /// Moves the item into damagedPath() under a name that begins with the time and ends with `name`, then trims
  /// that folder; the path it now has, or none when it could not be moved (it is then left where it was).
  std::optional<std::string> setAsideItemAtPath(const std::string& path, const std::string& name) const;
  /// The claims of the processes sharing this store on its report folders (by execution identifier) and
  /// packages (by file name): whoever cannot claim one leaves it to its holder.
  FileClaims claims() const;
  std::vector<std::string> activePathContents() const { return contentsOfDirectory(activePath()); }
  std::vector<std::string> processingPathContents() const { return contentsOfDirectory(processingPath()); }
  std::vector<std::string> preparedPathContents() const { return contentsOfDirectory(preparedPath()); }

  /// Removes the layout of earlier versions first, then creates active, processing and prepared (not pending),
  /// stopping at the first failure; sweeps what an interrupted discard left in processing.
  bool prepareForNewLaunch();
  /// active / identifier, created; none when it cannot be.
  std::optional<std::string> setupNewPathForExecutionIdentifier(const std::string& identifier) const;
  /// When "sendable" lies in the root, removes the whole root. Does nothing once this launch's folders have
  /// been prepared: run later it would take this run's folders and records with it.
  void removeLegacyDirectories();

  void enumerateReportsInProcessingDirectory(const ReportBlock& block) const;
  void enumerateFilesInActiveDirectory(const FileBlock& block) const { enumerateFilesInDirectory(activePath(), block); }
  void enumerateFilesInPreparedDirectory(const FileBlock& block) const {
    enumerateFilesInDirectory(preparedPath(), block);
  }
  bool moveProcessingContentsToPrepared() const { return moveItemsFromDirectory(processingPath(), preparedPath()); }
  bool movePendingToProcessing() const { return moveItemsFromDirectory(pendingPath(), processingPath()); }
  bool removeContentsOfProcessingPath() const { return removeContentsOfDirectoryAtPath(processingPath()); }
  bool removeContentsOfPendingPath() const { return removeContentsOfDirectoryAtPath(pendingPath()); }
  /// Empties processing, pending, prepared, active and the damaged items, every one whatever the others gave.
  bool removeContentsOfAllPaths() const;

 private:
  std::string rootPath_;
  bool prepared_ = false;
};

}  // namespace crashreporting
