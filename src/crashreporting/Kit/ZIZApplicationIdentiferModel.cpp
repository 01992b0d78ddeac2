#include "crashreporting/Kit/ZIZApplicationIdentiferModel.h"

#include "crashreporting/Kit/ZIZApplication.h"
#include "crashreporting/platform/Sha1.h"

namespace crashreporting {

std::optional<ZIZApplicationIdentiferModel> ZIZApplicationIdentiferModel::initWithInstallID(
    std::string installID, const std::filesystem::path& executable) {
  auto info = ZIZReadExecutableInfo(executable);
  if (!info) return std::nullopt;
  ZIZApplicationIdentiferModel model;
  model.architectureUUIDMap_ = std::move(info->architectureUUIDMap);
  model.minimumSDK_ = info->minimumSDK;
  model.builtSDK_ = info->builtSDK;
  model.instanceIdentifier_ = computeInstanceIdentifier(model.architectureUUIDMap_);
  model.icon_ = ZIZAppIconUtility::fetchApplicationIcon(MainBundle::get());
  model.installID_ = std::move(installID);
  model.bundleIdentifier_ = ZIZApplicationGetBundleIdentifier();
  return model;
}

std::string ZIZApplicationIdentiferModel::computeInstanceIdentifier(
    const std::map<std::string, std::string>& architectureUUIDMap) {
  std::string joined;
  for (const auto& [architecture, uuid] : architectureUUIDMap) joined += uuid;  // the map is in name order
  return sha1Hex(joined);
}

std::string ZIZApplicationIdentiferModel::builtSDKString() const {
  return VRDMachOFormatVersion(&builtSDK_).value_or("0.0.0");
}

std::string ZIZApplicationIdentiferModel::minimumSDKString() const {
  return VRDMachOFormatVersion(&minimumSDK_).value_or("0.0.0");
}

}  // namespace crashreporting
