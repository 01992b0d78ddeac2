#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <set>
#include <string_view>

namespace crashreporting {

/// The events folder's file questions, each answering something usable when the file system refuses.
class VZDFileUtils {
 public:
  using Date = std::chrono::system_clock::time_point;

  /// The folder's entries; empty (and logged) when it cannot be read.
  static std::set<std::filesystem::path> allFilesInDirectory(const std::filesystem::path& directory);
  /// The folder's entries with this extension (without the dot).
  static std::set<std::filesystem::path> filesWithExtension(std::string_view extension,
                                                            const std::filesystem::path& directory);
  /// The size in bytes; 0 when it cannot be read.
  static std::uintmax_t fileSizeAtURL(const std::filesystem::path& file);
  /// When the file was made (its last write: the events files are never written again); `fallback` when it
  /// cannot be read.
  static Date fileCreatedDateAtURL(const std::filesystem::path& file, Date fallback);
};

}  // namespace crashreporting
