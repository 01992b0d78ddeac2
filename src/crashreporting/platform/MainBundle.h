#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// What the library knows of the host program's bundle: its information dictionary (identifier, versions, name
/// and the library's own configuration) and, when it has one, the folder of its bundle.
struct BundleInfo {
  Dictionary infoDictionary;
  std::optional<std::filesystem::path> bundlePath;

  /// The information dictionary read from a property-list file (XML or binary); none, with a reason, when the
  /// file cannot be read or its root is not a dictionary.
  static std::optional<BundleInfo> fromFile(const std::filesystem::path& plistFile, std::string& error);

  /// infoDictionary[key], or null.
  const Value* objectForInfoDictionaryKey(std::string_view key) const;
  /// "CFBundleIdentifier" when it is a string.
  std::optional<std::string> bundleIdentifier() const;
};

/// The host's bundle as the library sees it, the stand-in for the platform's main bundle. The host hands it
/// over before it starts the library; until then the library finds no information dictionary.
class MainBundle {
 public:
  static void set(BundleInfo info);
  static void clear();
  static std::optional<BundleInfo> get();
};

}  // namespace crashreporting
