#pragma once

#include <chrono>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "crashreporting/platform/Value.h"

// The library's handle on one report folder of an earlier run: its identity, where its files are, whether it
// is worth submitting and whether it holds a crash, and the values of its metadata record. Reading never fails:
// a missing file or value is simply absent.

namespace crashreporting {

using VRDDate = std::chrono::system_clock::time_point;

class VRDInternalReport {
 public:
  /// The identifier is the metadata's identity "session_id"; a folder without one (a crash during set-up, a
  /// torn first line) is known by its folder name, so its crash is still reported. None for an empty path.
  static std::optional<VRDInternalReport> reportWithPath(const std::string& path);
  /// None unless both are given.
  static std::optional<VRDInternalReport> reportWithPath(const std::string& path, const std::string& identifier);

  const std::string& identifier() const { return identifier_; }
  const std::string& path() const { return path_; }
  void setPath(std::string path) { path_ = std::move(path); }

  std::string directoryName() const;
  std::string pathForContentFile(const std::string& name) const;
  std::string metadataPath() const { return pathForContentFile("metadata.vrdrecord"); }
  std::string binaryImagePath() const { return pathForContentFile("binary_images.vrdrecord"); }

  /// The file's lines; none when it has none.
  static std::optional<Array> readVRDFileAtPath(const std::string& path);

  /// A crash record, a custom exception or a logged error is present.
  bool needsToBeSubmitted() const;
  /// A crash record is present.
  bool isCrash() const;
  /// The crash records, in the order they are symbolicated.
  static const std::vector<std::string>& crashFilenames();
  bool checkExistenceOfAtLeastOneFileInArray(const std::vector<std::string>& names) const;
  /// Calls `block` with the full path of every crash record name, present or not.
  void enumerateSymbolicatableFilesInContent(const std::function<void(const std::string& path)>& block) const;

  /// Metadata values, each found by its section's key wherever that line lies.
  std::optional<std::string> APIKey() const;
  std::optional<std::string> bundleVersion() const;
  std::optional<std::string> bundleShortVersionString() const;
  std::optional<std::string> OSVersion() const;
  std::optional<std::string> OSBuildVersion() const;
  std::optional<VRDDate> dateCreated() const;
  /// The Mach exception record's time, else the signal record's; none unless a crash.
  std::optional<VRDDate> crashedOnDate() const;
  /// The "time" of the object `section` in the first line of `file`.
  std::optional<VRDDate> timeFromCrashContentFile(const std::string& file, const std::string& section) const;

  /// The metadata file's lines, read once; none while it cannot be read for a passing reason (read again then).
  const Array& metadataSections() const;
  /// Why the metadata file cannot be read now (too many open files, no memory); none once it has been read.
  std::optional<std::string> metadataUnreadableNow() const;

 private:
  VRDInternalReport(std::string path, std::string identifier);
  std::optional<std::string> metadataString(std::string_view section, std::string_view key) const;
  const Value* metadataValue(std::string_view section, std::string_view key) const;

  std::string identifier_;
  std::string path_;
  mutable std::optional<Array> metadataSections_;
  mutable std::optional<std::string> metadataNotNow_;
};

/// Whole seconds since 1970 as a date; none for a value that is no non-negative integer.
std::optional<VRDDate> VRDDateFromSeconds(const Value* seconds);

}  // namespace crashreporting
