#include "Shell/Updates/LinuxUpdater.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/Constants.h"

namespace tilvane {

LinuxUpdater::LinuxUpdater(updates::FeedSource& source, updates::UpdateAlertView* view,
                           std::function<bool(const std::string&)> openURL, const std::string& currentVersion)
    : openURL_(openURL), updater_(source, currentVersion, view, std::move(openURL)) {}

void LinuxUpdater::showFeedbackDialog() {
  const std::string& page = Constants::Url::feedback();
  if (!openURL_ || !openURL_(page)) LogManager::warning("cannot open " + page + " for feedback");
}

}  // namespace tilvane
