#include "Shell/AppDelegate.h"

#include "AppManager/Logging/LogManager.h"

namespace tilvane {

void AppDelegate::applicationDidFinishLaunching() {
  LogManager::setup();
  LogManager::debug("setup App");
  setupApp();
  LogManager::debug("start App");
}

void AppDelegate::setupApp() {
  LogManager::debug("setup Data");
  LogManager::debug("setup Manager");
  setupManagers();
}

void AppDelegate::setupManagers() {}

void AppDelegate::applicationWillTerminate() {}

}  // namespace tilvane
