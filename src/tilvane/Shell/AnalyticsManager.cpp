#include "Shell/AnalyticsManager.h"

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"

namespace tilvane {

AnalyticsManager& AnalyticsManager::shared() { return SharedInstance<AnalyticsManager>::get(); }

void AnalyticsManager::schedule() {
  first_.schedule(0, [this] { start(); });
  timer_.start(7200.0, [this] { start(); });
}

// The page load itself comes with the network client; until then the ping is only logged.
void AnalyticsManager::start() { LogManager::debug("analytics ping"); }

}  // namespace tilvane
