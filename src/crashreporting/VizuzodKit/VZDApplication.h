#pragma once

#include <optional>
#include <string>

#include "crashreporting/platform/Value.h"

namespace crashreporting {

/// Questions about the host's bundle, answered from its information dictionary.
class VZDApplication {
 public:
  /// From the main bundle's information dictionary (empty before the host handed one over).
  static VZDApplication hostApplication();
  explicit VZDApplication(Dictionary infoPlist) : infoPlistDict_(std::move(infoPlist)) {}

  std::optional<std::string> bundleIdentifier() const { return string("CFBundleIdentifier"); }
  std::optional<std::string> bundleVersion() const { return string("CFBundleVersion"); }
  std::optional<std::string> shortVersionString() const { return string("CFBundleShortVersionString"); }
  /// "NSExtension" when it is a dictionary; another kind of value is logged as mal-formed.
  std::optional<Dictionary> extensionDefinitionDictionary() const;
  /// That dictionary's "NSExtensionPointIdentifier" when it is a string; another kind of value is logged.
  std::optional<std::string> extensionPointIdentifier() const;
  bool isExtension() const { return extensionPointIdentifier().has_value(); }

 private:
  std::optional<std::string> string(std::string_view key) const;
  Dictionary infoPlistDict_;
};

}  // namespace crashreporting
