#pragma once

#include <string>

namespace tilvane {

/// The web addresses the program talks to: its own deployment addresses (Constants::Url), unless
/// TILVANE_HOME_URL or TILVANE_REMOTE_NOTIFICATION_URL name others (process tests point them at a local
/// server).
struct WebAddresses {
  std::string home;
  std::string remoteNotification;

  static WebAddresses fromEnvironment();
};

}  // namespace tilvane
