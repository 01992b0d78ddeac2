#include "Shell/AnalyticsManager.h"

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/net/WebURL.h"

namespace tilvane {
namespace {

// The reply is not looked at; a page is small, and a server that sends more or takes longer is cut off.
constexpr double kTimeout = 60.0;
constexpr std::size_t kMaxBodyBytes = 256 * 1024;

}  // namespace

AnalyticsManager& AnalyticsManager::shared() { return SharedInstance<AnalyticsManager>::get(); }

void AnalyticsManager::setup(const WebServices& web) { web_ = web; }

void AnalyticsManager::schedule() {
  first_.schedule(0, [this] { start(); });
  timer_.start(7200.0, [this] { start(); });
}

std::optional<std::string> AnalyticsManager::pageURL(const std::string& home, const std::string& buildVersion) {
  std::string url = home;
  if (url.empty() || url.back() != '/') url += '/';
  url += "analytics.html?" + (buildVersion.empty() ? std::string("no_version") : net::percentEncode(buildVersion));
  if (!net::isWebURL(url)) return std::nullopt;
  return url;
}

void AnalyticsManager::start() {
  LogManager::debug("analytics ping");
  if (!web_.http) return;
  const std::optional<std::string> url = pageURL(web_.home, web_.buildVersion);
  if (!url) {
    LogManager::warning("analytics ping not sent: \"" + web_.home + "\" with the build version does not form a web address");
    return;
  }
  if (pending_) web_.http->cancel(pending_);
  // The completion holds nothing of the manager: the client may outlive it.
  pending_ = web_.http->get(*url, kTimeout, kMaxBodyBytes, [](net::HttpResponse) {});
}

}  // namespace tilvane
