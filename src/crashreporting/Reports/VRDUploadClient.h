#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDReportsController.h"
#include "crashreporting/Reports/VRDSettings.h"
#include "crashreporting/platform/Error.h"
#include "crashreporting/platform/OperationQueue.h"

// The crash-reporting controller's view of the report upload client: it uploads packages (VRDPackageUploader),
// reports each finished upload through the context it was made with, and finds the transfers an earlier run
// left in the background before the packages in prepared are uploaded again.

namespace crashreporting {

/// What the controller hands to the upload client it makes. The callbacks may be called from any thread and
/// stay valid as long as the client lives.
struct VRDUploadClientContext {
  /// The controller's work queue: the client's completions run there.
  std::shared_ptr<OperationQueue> operationQueue;
  VRDFileManager* fileManager = nullptr;
  std::function<bool()> canUseBackgroundSessions;
  std::function<VRDSettings()> settings;
  std::function<std::optional<std::string>()> APIKey;
  std::function<std::optional<std::string>()> bundleIdentifier;
  /// An upload of the package at `path` ended: no error on success.
  std::function<void(const std::string& path, const std::optional<Error>& error)> didFinishUploadWithPath;
};

class VRDUploadClient : public VRDPackageUploader {
 public:
  /// Calls `completion` once transfers of earlier runs are known again; at once where there are none.
  virtual void attemptToReconnectBackgroundSession(std::function<void()> completion) = 0;
};

using VRDUploadClientFactory = std::function<std::unique_ptr<VRDUploadClient>(const VRDUploadClientContext& context)>;

}  // namespace crashreporting
