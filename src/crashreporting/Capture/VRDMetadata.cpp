#include "crashreporting/Capture/VRDMetadata.h"

#include <cerrno>
#include <cstring>
#include <string>

#include "crashreporting/Capture/VRDBinaryImage.h"
#include "crashreporting/Capture/VRDHost.h"
#include "crashreporting/Capture/VRDSDKLog.h"
#include "crashreporting/Capture/VRDUtilities.h"
#include "crashreporting/Kit/ZIZApplication.h"

namespace crashreporting {
namespace {

void writeIdentity(VRDFile* file, const VRDContextInitData* initData, std::int64_t startedAt) {
  VRDFileWriteSectionStart(file, "identity");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryString(file, "generator", VRDGeneratorName);
  VRDFileWriteHashEntryString(file, "build_version", VRDSDKBuildVersion);
  VRDFileWriteHashEntryString(file, "display_version", VRDSDKDisplayVersion);
  VRDFileWriteHashEntryString(file, "api_key", initData->apiKey);
  VRDFileWriteHashEntryInt64(file, "started_at", startedAt);
  VRDFileWriteHashEntryString(file, "session_id", initData->sessionIdentifier);
  VRDFileWriteHashEntryString(file, "install_id", initData->installIdentifier);
  VRDFileWriteHashEntryString(file, "beta_token", initData->betaToken);
  VRDFileWriteHashEntryBoolean(file, "absolute_log_timestamps", true);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

void writeApplication(VRDFile* file, const VRDContextInitData* initData) {
  VRDFileWriteSectionStart(file, "application");
  VRDFileWriteHashStart(file);
  VRDFileWriteHashEntryNSString(file, "bundle_id", ZIZApplicationGetBundleIdentifier());
  VRDFileWriteHashEntryString(file, "custom_bundle_id", initData->customBundleIdentifier);
  VRDFileWriteHashEntryNSString(file, "build_version", ZIZApplicationGetBuildVersion());
  VRDFileWriteHashEntryNSString(file, "display_version", ZIZApplicationGetDisplayVersion());
  // A Linux program is no extension of another: it has no extension point identifier.
  VRDFileWriteHashEntryString(file, "extension_id", nullptr);
  VRDFileWriteHashEnd(file);
  VRDFileWriteSectionEnd(file);
}

}  // namespace

bool VRDContextRecordMetadata(const VRDContextInitData* initData, std::int64_t startedAt) {
  const std::string path = std::string(initData->reportDirectory) + "/metadata.vrdrecord";
  if (!VRDUnlinkIfExists(path.c_str())) VRDLogWarn("Unable to unlink existing metadata file %s\n", VRDErrorText(errno));
  VRDFile file;
  // Written at start, not at crash time: buffered, so the file goes out in a few writes rather than a token each.
  if (!VRDFileInitWithPath(&file, path.c_str(), true)) {
    VRDLogWarn("Unable to open metadata file %s\n", VRDErrorText(errno));
    VRDLogWarn("Unable to record context metadata\n");
    return false;
  }
  writeIdentity(&file, initData, startedAt);
  if (!VRDHostRecord(&file)) VRDLogWarn("Unable to write out host metadata\n");
  writeApplication(&file, initData);
  if (!VRDBinaryImageRecordMainExecutable(&file)) VRDLogWarn("Unable to write out executable metadata\n");
  VRDFileClose(&file);
  return true;
}

}  // namespace crashreporting
