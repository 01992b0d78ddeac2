#include "Shell/AppDelegate.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"

namespace tilvane {

void AppDelegate::applicationDidFinishLaunching() {
  LogManager::setup();
  LogManager::debug("setup App");
  setupApp();
  LogManager::debug("start App");
}

void AppDelegate::setupApp() {
  LogManager::debug("setup Data");
  StoreService::shared().configureRealm();
  // Reads the settings file once; a damaged one is reported here, at start, and left as it is.
  UserDefaultsService::autoLayoutEnabled();
  LogManager::debug("setup Manager");
  setupManagers();
}

void AppDelegate::setupManagers() {
  LogManager::debug("ScreenManager setup");
  ScreenManager& screens = ScreenManager::shared();
  screens.reloadScreens();
  StoreService::shared().setupFirstRun();
}

void AppDelegate::applicationWillTerminate() {}

}  // namespace tilvane
