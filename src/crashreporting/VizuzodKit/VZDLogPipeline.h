#pragma once

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/VizuzodKit/VZDLogOperations.h"
#include "crashreporting/platform/Operation.h"

// Where the analytics files live and the chains of operations that take a rotated log to the uploader.

namespace crashreporting {

namespace fs = std::filesystem;

/// A step of a chain that only runs a block (on the queue that runs the chain).
class VZDBlockOperation : public Operation {
 public:
  explicit VZDBlockOperation(std::function<void()> block) : block_(std::move(block)) {}
  void main() override {
    if (block_) block_();
    block_ = nullptr;  // lets go of what the block holds as soon as it ran
  }

 private:
  std::function<void()> block_;
};

/// The files of the analytics kit under one root: events/ with its logs, gz files and packaged files, and
/// the stored metadata of the last run.
struct VZDEventPaths {
  /// <cache home>/com.zizozu/<bundle identifier, "/" as "_">/analytics/v2
  static fs::path rootDirectory();
  static fs::path eventDirectoryForRootDirectory(const fs::path& root) { return root / "events"; }
  static fs::path crashMetadataPathForRootDirectory(const fs::path& root) { return root / "crash_metadata"; }
  /// A new "<UUID>.log" in the events folder.
  static fs::path generateNewLogPath(const fs::path& eventDirectory);
  static fs::path multipartMimeURLWithBoundary(const fs::path& eventDirectory, const std::string& boundary) {
    return eventDirectory / (boundary + ".multipartmime");
  }
  /// The base name of a ".multipartmime" file; none for any other file.
  static std::optional<std::string> boundaryFromURL(const fs::path& file);
};

/// Builds the operations that carry one file to the uploader. A step deletes its input only once its output
/// is whole: a log stays when its compression fails, a gz when its packaging fails (the next start-up takes
/// them up again), and the steps after a failed one do not run.
class VZDLogPipeline {
 public:
  /// The upload step for a packaged file (the controller decides the address, key and whether it may run).
  using UploadOperationMaker = std::function<std::shared_ptr<Operation>(const fs::path& packaged,
                                                                        const std::string& boundary)>;

  /// The files a chain makes are claimed with `claims` when it is built, before they exist; each is given up once
  /// its chain deleted it. The caller has claimed the file a chain starts from.
  VZDLogPipeline(fs::path eventDirectory, FileClaims claims, UploadOperationMaker makeUpload)
      : eventDirectory_(std::move(eventDirectory)), claims_(std::move(claims)), makeUpload_(std::move(makeUpload)) {}

  /// Compress, delete the log, package, delete the gz, upload; each waits for the one before.
  std::vector<std::shared_ptr<Operation>> operationsForUncompressedLog(const fs::path& log) const;
  /// Package, delete the gz, upload.
  std::vector<std::shared_ptr<Operation>> operationsForCompressedLog(const fs::path& gz) const;

 private:
  /// Appends package, gz deletion and upload to `chain`, the packaging waiting for `after` when given.
  void appendPackaging(std::vector<std::shared_ptr<Operation>>& chain, const fs::path& gz,
                       const std::shared_ptr<Operation>& after) const;

  fs::path eventDirectory_;
  FileClaims claims_;
  UploadOperationMaker makeUpload_;
};

}  // namespace crashreporting
