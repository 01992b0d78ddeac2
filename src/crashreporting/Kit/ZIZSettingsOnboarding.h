#pragma once

#include <map>
#include <string>

namespace crashreporting {

/// Downloads the settings and registers the application with the vendor's service once the kits have started.
class ZIZSettingsOnboardingManager {
 public:
  virtual ~ZIZSettingsOnboardingManager() = default;
  virtual void beginSettingsAndOnboardingOperationsWithAPIKey(
      const std::string& apiKey, const std::map<std::string, std::string>& kitVersionsByKitBundleIdentifier) = 0;
};

}  // namespace crashreporting
