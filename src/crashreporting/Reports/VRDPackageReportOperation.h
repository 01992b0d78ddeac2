#pragma once

#include <optional>
#include <span>
#include <string>

#include <zlib.h>

#include "crashreporting/Kit/ZIZMultipartMimeStreamEncoder.h"
#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/platform/FileContents.h"
#include "crashreporting/platform/Operation.h"

// Packs one report folder into one multipart file in the prepared folder: the API key, the report identifier,
// then every file of the folder gzip-compressed as a part of its own. The file is named by its boundary
// ("<boundary>.multipartmime"), which the upload reads back for its Content-Type.
//
// The package is written aside (hidden, inside the report folder) and renamed into prepared only when whole, so
// a process ended half-way leaves the report in its folder and nothing in prepared. The name it was given is
// noted in the folder first, so a report whose package was already moved into place is not packaged twice.

namespace crashreporting {

class VRDPackageReportOperation : public Operation {
 public:
  VRDPackageReportOperation(const VRDInternalReport& report, const VRDFileManager& fileManager)
      : report_(report), fileManager_(fileManager) {}
  void main() override;
  /// The package once it is whole and in place.
  const std::optional<std::string>& finalPath() const { return finalPath_; }
  /// Whether the report's folder, its metadata or a file of it could not be listed or read for a passing reason
  /// (said): nothing was packaged, and the report is left for a later attempt rather than sent without them.
  bool leftForLater() const { return leftForLater_; }

  std::string reportPath() const { return report_.path(); }
  std::string destinationDirectory() const { return fileManager_.preparedPath(); }
  std::string packagedPathWithName(const std::string& name) const;
  /// Adds the file at `path` (contents `data`) as a gzip part; when it cannot be compressed, the plain file
  /// under its own name.
  void encode(ZIZMultipartMimeStreamEncoder& encoder, std::span<const std::uint8_t> data, const std::string& path);
  /// Sets aside what stands at `path` (one of the report's side files) when it is no regular file, with a line.
  void clearWayFor(const std::string& path) const;
  static bool compressData(std::span<const std::uint8_t> data, const std::string& path);
  static bool writeBytesToGZFile(const std::uint8_t* bytes, std::size_t length, gzFile file);

 private:
  std::optional<std::string> alreadyPackaged(const FileContents& note) const;
  /// Says why `what` cannot be read now; nothing is packaged.
  void leaveForLater(const std::string& what, const std::string& why);

  const VRDInternalReport& report_;
  const VRDFileManager& fileManager_;
  std::optional<std::string> finalPath_;
  bool leftForLater_ = false;
};

}  // namespace crashreporting
