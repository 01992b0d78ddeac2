#include "Shell/Web/WebAddresses.h"

#include <cstdlib>

#include "AppManager/Settings/Constants.h"

namespace tilvane {
namespace {

std::string fromEnvironment(const char* name, const std::string& builtIn) {
  const char* value = std::getenv(name);
  return value && *value ? std::string(value) : builtIn;
}

}  // namespace

WebAddresses WebAddresses::fromEnvironment() {
  return {tilvane::fromEnvironment("TILVANE_HOME_URL", Constants::Url::home()),
          tilvane::fromEnvironment("TILVANE_REMOTE_NOTIFICATION_URL", Constants::Url::remoteNotification())};
}

}  // namespace tilvane
