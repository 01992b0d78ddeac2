#include "Shell/MainController.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/desktop/Desktop.h"

namespace tilvane {

bool isTrusted() {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->canMoveWindows();
}

void MainController::setup() {
  LogManager::debug("check trusted");
  if (!isTrusted()) {
    services_.landing.show();
    return;
  }
  LogManager::debug("main controllers setup");
  setupControllers();
  LogManager::debug("main contorller rx setup");
  setupRx();
  LogManager::debug("main notification setup");
  services_.announcements.requestAfter(10.0);
}

void MainController::setupControllers() {
  LogManager::debug("menubar setup");
  menuBarViewController_ = make<MenuBarController>(services_);
  LogManager::debug("preference setup");
  preferencesViewController_ = make<PreferencesViewController>();
  LogManager::debug("advance setup");
  advancedViewController_ = make<AdvancedViewController>();
}

void MainController::setupRx() {
  AppBridge::quit().subscribe([this](const rx::Unit&) { services_.terminate(); }).disposed(disposeBag());
}

}  // namespace tilvane
