#include "Preferences/PreferencesViewController.h"

#include <vector>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Logging/LogManager.h"
#include "platform/autostart/XdgAutostart.h"
#include "platform/desktop/NSApplication.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

PreferencesViewController::PreferencesViewController(Passkey key, PreferencesServices services)
    : VkRxController(key), services_(std::move(services)) {
  if (!services_.launchAtLogin) {
    ownLoginItem_ = std::make_unique<XdgAutostart>();
    services_.launchAtLogin = ownLoginItem_.get();
  }
}

void PreferencesViewController::setupUI() {
  LogManager::debug("preference controller setup start");
  PreferencesViews* views = services_.views;
  general_ = std::make_unique<GeneralPreferencesViewController>(*services_.launchAtLogin, views);
  hotKeys_ = std::make_unique<HotKeysPreferencesViewController>(views);
  updates_ = std::make_unique<UpdatesPreferencesViewController>(services_.updater, views);
  about_ = std::make_unique<AboutPreferencesViewController>(services_.updater, services_.openURL, services_.version,
                                                            views);
  std::vector<PreferencePane*> panes{general_.get(), hotKeys_.get(), updates_.get(), about_.get()};
  preferenceViewController_ = std::make_unique<MASPreferencesWindowController>(
      std::move(panes), NSLocalizedString("PreferencesTitle"), views ? views->makeWindow() : nullptr);
  // The title bar is the window manager's: the button goes to the right end of the toolbar instead.
  if (PaneWindowView* window = preferenceViewController_->window())
    window->setAccessoryButton({NSLocalizedString("Advanced"), "PreferenceAdvanced", [this] { postOpenAdvanced(); }});
  LogManager::debug("preference controller setup end");
}

void PreferencesViewController::setupViewModel() {
  AppBridge::openPreferences().subscribe([this](const int& index) { showPane(index); }).disposed(disposeBag());
}

void PreferencesViewController::showPane(int index) {
  if (index > 0 && preferenceViewController_) preferenceViewController_->selectControllerAtIndex(index);
  if (preferenceViewController_) preferenceViewController_->showWindow();
  NSApplication::activateIgnoringOtherApps(true);
}

void PreferencesViewController::postOpenAdvanced() { AppBridge::openAdvanced().onNext(); }

}  // namespace tilvane
