#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "crashreporting/Reports/VRDMachOBinary.h"
#include "crashreporting/platform/MainBundle.h"

// A dSYM bundle on disk: a folder with Contents/Info.plist and its debug binary in Contents/Resources/DWARF/.
// The bundle is read as a plain folder with the library's property-list reader.

namespace crashreporting {

/// The identifier prefix the build tools give a dSYM bundle in front of its binary's identifier.
inline constexpr std::string_view VRDdSYMBundleIdentifierPrefix = "com.apple.xcode.dsym.";

class VRDdSYM {
 public:
  /// None unless `path` is a folder whose Contents/Resources/DWARF is a folder holding at least one entry. The
  /// first entry (in name order, hidden names skipped) is opened as the binary; a binary that cannot be opened
  /// leaves the dSYM without one. A missing or unreadable Info.plist leaves the information dictionary empty.
  static std::optional<VRDdSYM> dSYMWithPath(const std::filesystem::path& path);

  /// The bundle's identifier without the build tools' dSYM prefix.
  std::optional<std::string> bundleIdentifier() const;
  /// "CFBundleVersion" and "CFBundleShortVersionString" of the Info.plist.
  std::optional<std::string> bundleVersion() const;
  std::optional<std::string> shortBundleVersion() const;
  /// The binary's path; none without a binary.
  std::optional<std::filesystem::path> executablePath() const;
  /// The binary's slices' UUIDs and architectures; nothing without a binary.
  void enumerateUUIDs(const VRDMachOBinary::UUIDBlock& block) const;

  const std::optional<VRDMachOBinary>& binary() const { return binary_; }
  const BundleInfo& bundle() const { return bundle_; }

 private:
  VRDdSYM(BundleInfo bundle, std::optional<VRDMachOBinary> binary);
  std::optional<std::string> infoString(std::string_view key) const;

  BundleInfo bundle_;
  std::optional<VRDMachOBinary> binary_;
};

}  // namespace crashreporting
