#include "AppManager/Settings/Constants.h"

namespace tilvane::Constants {
namespace {
// Deployment values.
constexpr const char* kSiteDomain = "tilvane.app";
constexpr const char* kContentHost = "https://content.tilvane.app";
constexpr const char* kUpdateHost = "https://updates.tilvane.app";
constexpr const char* kBundleIdentifier = "app.tilvane.Tilvane";
}  // namespace

namespace Url {

const std::string& home() {
  static const std::string url = std::string("https://") + kSiteDomain;
  return url;
}

const std::string& guide() {
  static const std::string url = home() + "/guide";
  return url;
}

const std::string& feedback() {
  static const std::string url = home() + "/feedback";
  return url;
}

const std::string& remoteNotification() {
  static const std::string url = std::string(kContentHost) + "/@/" + kSiteDomain + "/notification/remote";
  return url;
}

const std::string& updateFeed() {
  static const std::string url = std::string(kUpdateHost) + "/" + kBundleIdentifier + ".xml";
  return url;
}

}  // namespace Url
}  // namespace tilvane::Constants
