#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

#include "crashreporting/Kit/VRDMachO.h"
#include "crashreporting/Kit/ZIZExecutableInfo.h"
#include "crashreporting/Kit/ZIZIcon.h"

namespace crashreporting {

/// How the application is known to the vendor's services: bundle identifier, installation identifier, the
/// UUIDs of its executable's slices and the instance identifier made of them, the SDK versions and the icon.
class ZIZApplicationIdentiferModel {
 public:
  /// None when the executable cannot be read.
  static std::optional<ZIZApplicationIdentiferModel> initWithInstallID(
      std::string installID, const std::filesystem::path& executable = kZIZCurrentExecutablePath);

  /// SHA-1 (40 lower-case hexadecimal characters) of the slices' UUID texts joined in ascending order of
  /// architecture name.
  static std::string computeInstanceIdentifier(const std::map<std::string, std::string>& architectureUUIDMap);

  const std::string& instanceIdentifier() const { return instanceIdentifier_; }
  const std::map<std::string, std::string>& architectureUUIDMap() const { return architectureUUIDMap_; }
  const std::string& installID() const { return installID_; }
  const std::optional<ZIZIcon>& icon() const { return icon_; }
  void setIcon(std::optional<ZIZIcon> icon) { icon_ = std::move(icon); }
  const std::optional<std::string>& bundleIdentifier() const { return bundleIdentifier_; }
  VRDMachOVersion builtSDK() const { return builtSDK_; }
  VRDMachOVersion minimumSDK() const { return minimumSDK_; }
  /// "major.minor.bugfix".
  std::string builtSDKString() const;
  std::string minimumSDKString() const;

 private:
  ZIZApplicationIdentiferModel() = default;

  std::map<std::string, std::string> architectureUUIDMap_;
  std::string installID_;
  std::optional<ZIZIcon> icon_;
  std::optional<std::string> bundleIdentifier_;
  std::string instanceIdentifier_;
  VRDMachOVersion builtSDK_;
  VRDMachOVersion minimumSDK_;
};

}  // namespace crashreporting
