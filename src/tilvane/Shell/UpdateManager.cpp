#include "Shell/UpdateManager.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Settings/Constants.h"
#include "platform/base/SharedInstance.h"

namespace tilvane {

UpdateManager& UpdateManager::shared() { return SharedInstance<UpdateManager>::get(); }

void UpdateManager::setup(Updater& updater) {
  updater.setFeedURL(Constants::Url::updateFeed());
  // The URL action and the Updates pane publish here; a request must reach the updater, not vanish.
  AppBridge::checkForUpdates()
      .subscribe([&updater](const rx::Unit&) {
        LogManager::debug("check for updates");
        updater.checkForUpdates();
      })
      .disposed(disposeBag_);
}

}  // namespace tilvane
