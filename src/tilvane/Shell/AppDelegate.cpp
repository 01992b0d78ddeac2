#include "Shell/AppDelegate.h"

#include "AppManager/Logging/LogManager.h"
#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Startup/ManagerSetup.h"
#include "Layout/LayoutManager.h"
#include "AppManager/Bridges/Bridges.h"
#include "Shell/AnalyticsManager.h"
#include "Shell/HotKeyNotice.h"
#include "Shell/SettingsNotices.h"
#include "Shell/UpdateManager.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"
#include "platform/base/SharedInstance.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Store/StoreService.h"
#include "UI/HUD/VkHUD.h"

namespace tilvane {
namespace {
// Long enough to read a sentence.
constexpr double kStoreNoticeSeconds = 6.0;
}  // namespace

void AppDelegate::applicationDidFinishLaunching() {
  LogManager::setup();
  LogManager::debug("setup DevMate");
  services_.updater.sendTrackingReport();
  services_.updater.setupIssuesController(true);
  LogManager::debug("setup App");
  setupApp();
  LogManager::debug("start App");
}

void AppDelegate::setupApp() {
  LogManager::debug("setup Data");
  StoreService::shared().configureRealm();
  const auto notify = [](const std::string& text) {
    VkHUD::shared().show(text, kStoreNoticeSeconds, VkHUDPosition::center, VkHUDSize::small, VkHUDStyle::dark, true);
  };
  // What keeps windows from being remembered is seen on the screen, not only in a log nobody reads.
  StoreService::shared().setNotifier(notify);
  // Reads the settings file once; a damaged one is kept aside, and what that means is said on the screen once,
  // as is what is found later: damage while the program runs, values of the wrong type.
  auto& settings = defaults::UserDefaults::standard();
  if (const std::string text = settingsLoadText(settings); !text.empty()) notify(text);
  installSettingsNotices(settings, notify);
  UserDefaultsService::reportMistypedSettings();
  LogManager::debug("setup Manager");
  setupManagers();
  LogManager::debug("setup Controller");
  LogManager::debug("init main controller");
  mainController_ = VkRxController::make<MainController>(services_);
  LogManager::debug("main controller setup");
  mainController_->setup();
  // Every hot key has been asked for by now: the custom layouts' and, once trusted, the preferences'.
  announceHotKeysNotTaken();
  // From now on what the file holds is what the program shows and does, whoever changed it.
  settingsFollower_ = std::make_unique<SettingsFollower>();
}

void AppDelegate::setupManagers() {
  LogManager::debug("UpdateManager setup");
  UpdateManager::shared().setup(services_.updater);

  LogManager::debug("AppManager setup");
  AppManager::shared().loadApps();

  setupWindowManagers();

  LogManager::debug("AnalyticsManager setup");
  AnalyticsManager::shared().setup(services_.web);
  AnalyticsManager::shared().schedule();
}

bool AppDelegate::applicationShouldHandleReopen() {
  if (isTrusted()) {
    // With the tray icon hidden, or no tray to show it in, starting the program again is the way back to its
    // preferences.
    const MenuBarController* menuBar = mainController_ ? mainController_->menuBarViewController() : nullptr;
    if (UserDefaultsService::hideInMenuBar() == 1 || (menuBar && !menuBar->isReachable()))
      AppBridge::openPreferences().onNext(0);
  } else if (mainController_) {
    mainController_->setup();
  }
  return true;
}

// Moves still inside their quiet period are written now rather than lost.
void AppDelegate::applicationWillTerminate() {
  if (SharedInstance<LayoutManager>::exists()) LayoutManager::shared().flushPendingUpdates();
}

}  // namespace tilvane
