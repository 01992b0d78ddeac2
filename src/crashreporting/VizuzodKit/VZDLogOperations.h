#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "crashreporting/VizuzodKit/VZDEvent.h"
#include "crashreporting/VizuzodKit/VZDMetadata.h"
#include "crashreporting/platform/FileClaims.h"
#include "crashreporting/platform/Operation.h"
#include "crashreporting/platform/URLRequest.h"

// The steps an events log goes through: append an event, gzip, package as multipart, hand to the uploader;
// plus the swap of the stored run metadata and the start-up sort of the events folder.

namespace crashreporting {

namespace fs = std::filesystem;

/// "<ms>\t<name>\t<JSON byte length>\t<JSON>"; none when the payload is not JSON.
std::optional<std::string> VZDLogLine(double timestampSeconds, const std::string& name, const Dictionary& payload);

/// Appends one event line, and for a new file the metadata line before it. Both lines are made when queued.
class VZDWriteEventOperation : public Operation {
 public:
  VZDWriteEventOperation(const VZDEvent& event, const VZDMetadataSerializable& metadata, fs::path logFile);
  /// Writes only lines of earlier events, after `metadataLine` in a new file.
  VZDWriteEventOperation(std::string metadataLine, std::vector<std::string> lines, fs::path logFile)
      : earlierLines_(std::move(lines)),
        formattedMetadata_(std::move(metadataLine)),
        logFile_(std::move(logFile)) {}
  /// Lines of earlier events to write before this one's (after the metadata line of a new file).
  void setEarlierLines(std::vector<std::string> lines) { earlierLines_ = std::move(lines); }
  void main() override;
  bool success() const { return success_; }
  /// Whether the log was opened; when it could not be, why (nothing was written). Neither when there was nothing
  /// to write.
  bool opened() const { return opened_; }
  const std::optional<std::string>& openError() const { return openError_; }
  /// Why a line could not be written (a full disk, a quota, an I/O error): that line and those after it are
  /// unwritten(), and no part of them stays in the file.
  const std::optional<std::string>& writeError() const { return writeError_; }
  /// The lines of events (earlier ones, then this one's) that did not reach the log, in order.
  const std::vector<std::string>& unwritten() const { return unwritten_; }
  /// The event's line, and the metadata line of a new file; none when their payload is no JSON.
  const std::optional<std::string>& formattedEvent() const { return formattedEvent_; }
  const std::optional<std::string>& formattedMetadata() const { return formattedMetadata_; }

 private:
  bool append(int fd, const std::string& line);
  bool success_ = false;
  bool opened_ = false;
  std::optional<std::string> openError_;
  std::optional<std::string> writeError_;
  std::vector<std::string> unwritten_;
  std::vector<std::string> earlierLines_;
  std::optional<std::string> formattedEvent_;
  std::optional<std::string> formattedMetadata_;
  fs::path logFile_;
};

/// Gzips a log into its ".gz" twin; an existing twin is kept. A failed compression removes the partial gz.
class VZDCompressLogOperation : public Operation {
 public:
  VZDCompressLogOperation(fs::path log, fs::path gz) : log_(std::move(log)), gz_(std::move(gz)) {}
  static fs::path compressedURLForUncompressedURL(const fs::path& log) { return fs::path(log).replace_extension("gz"); }
  void main() override;
  /// Whether the gz holds the whole log (also when it was there before).
  bool success() const { return success_; }

 private:
  fs::path log_, gz_;
  bool success_ = false;
};

/// Writes one multipart file holding the gz as its only part.
class VZDPackageLogOperation : public Operation {
 public:
  VZDPackageLogOperation(fs::path gz, fs::path packaged, std::string boundary)
      : gz_(std::move(gz)), packaged_(std::move(packaged)), boundary_(std::move(boundary)) {}
  static fs::path multipartURLForCompressedURL(const fs::path& gz, const std::string& boundary) {
    return gz.parent_path() / (boundary + ".multipartmime");
  }
  void main() override;
  bool success() const { return success_; }

 private:
  fs::path gz_, packaged_;
  std::string boundary_;
  bool success_ = false;
};

/// Where upload operations hand their requests.
class VZDUploadTarget {
 public:
  virtual ~VZDUploadTarget() = default;
  virtual void startUploadRequest(const URLRequest& request, const fs::path& filePath,
                                  const std::string& uniqueName) = 0;
};

/// Builds the POST of a packaged file and hands it to the uploader.
class VZDUploadOperation : public Operation {
 public:
  VZDUploadOperation(std::weak_ptr<VZDUploadTarget> uploader, std::string url, std::optional<std::string> apiKey,
                     fs::path multipart, std::string boundary)
      : uploader_(std::move(uploader)), url_(std::move(url)), apiKey_(std::move(apiKey)),
        multipart_(std::move(multipart)), boundary_(std::move(boundary)) {}
  void main() override;
  URLRequest request() const;

 private:
  std::weak_ptr<VZDUploadTarget> uploader_;
  std::string url_;
  std::optional<std::string> apiKey_;
  fs::path multipart_;
  std::string boundary_;
};

/// The metadata of an earlier run as stored in "crash_metadata".
class VZDCrashMetadata : public VZDMetadataSerializable {
 public:
  explicit VZDCrashMetadata(std::optional<Dictionary> raw) : raw_(std::move(raw)) {}
  std::optional<Dictionary> dictionaryRepresentationWithStartTime(std::uint64_t) const override { return raw_; }
  static std::optional<Dictionary> readSerializedDictionaryFromURL(const fs::path& file);
  static bool writeSerializedDictionary(const Dictionary& dictionary, const fs::path& file);

 private:
  std::optional<Dictionary> raw_;
};

/// Takes the stored metadata of the previous run and stores this run's in its place.
class VZDRotateCrashMetadataOperation : public Operation {
 public:
  VZDRotateCrashMetadataOperation(fs::path file, const VZDMetadata& current);
  void main() override;
  std::shared_ptr<VZDCrashMetadata> crashMetadata() const { return crashMetadata_; }

 private:
  fs::path file_;
  std::optional<Dictionary> currentDictionary_;
  std::shared_ptr<VZDCrashMetadata> crashMetadata_;
};

/// Sorts the events folder at start: unknown files go, a gz beside its log goes (the log is compressed
/// again), and only the newest `maximum` multipart files stay.
class VZDCleanupFilesOperation : public Operation {
 public:
  using URLs = std::set<fs::path>;
  using SuccessBlock = std::function<void(const URLs& logs, const URLs& gzs, const URLs& multiparts)>;
  /// Files of the folder that `claims` cannot claim are another process's and left alone (a log with its gz).
  VZDCleanupFilesOperation(fs::path directory, std::int64_t maximumPendingMultipartFiles, FileClaims claims)
      : directory_(std::move(directory)), maximum_(maximumPendingMultipartFiles), claims_(std::move(claims)) {}
  void setSuccessBlock(SuccessBlock block) { successBlock_ = std::move(block); }
  void main() override;
  static URLs URLsByRemovingOldFiles(const URLs& files, std::int64_t maximum);

 private:
  fs::path directory_;
  std::int64_t maximum_;
  FileClaims claims_;
  SuccessBlock successBlock_;
};

}  // namespace crashreporting
