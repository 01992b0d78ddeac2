#include "Preferences/GeneralPreferencesViewController.h"

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "Layout/LayoutManager.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/l10n/Localization.h"

namespace tilvane {
namespace {

std::string rowLabel(const char* key) { return NSLocalizedString(key) + " :"; }

}  // namespace

GeneralPreferencesViewController::GeneralPreferencesViewController(LaunchAtLogin& loginItem, PreferencesViews* views)
    : PreferencePane("General", "PreferenceGeneral"),
      startupLabel(rowLabel("Startup")),
      startupCheckbox(NSLocalizedString("LaunchAtLogin")),
      startupIntroLabel(NSLocalizedString("LaunchAtLoginDesc")),
      hideMenuLabel(rowLabel("HideIcon")),
      hideMenuCheckbox(NSLocalizedString("HideInMenubar")),
      hideMenuIntroLabel(NSLocalizedString("HideInMenubarDesc")),
      hideLayoutLabel(rowLabel("HideLayoutAction")),
      hideLayoutCheckbox(NSLocalizedString("HideLayoutActionDesc")),
      hideLayoutIntroLabel(NSLocalizedString("HideLayoutActionIntro")),
      gapLayoutLabel(rowLabel("Gutters")),
      gapLayoutCheckbox(NSLocalizedString("EnableGutters")),
      gapLayoutIntroLabel(NSLocalizedString("EnableGuttersDesc")),
      loginItem_(loginItem),
      views_(views) {}

std::unique_ptr<PaneView> GeneralPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

void GeneralPreferencesViewController::setupUI() {
  logHook("UI");
  applyPaneSize();
  const defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  startupCheckbox.setState(static_cast<int>(stored.integerForKey(UserDefaultsService::launchAtLoginKey())));
  hideMenuCheckbox.setState(static_cast<int>(stored.integerForKey(UserDefaultsService::hideInMenuBarKey())));
  hideLayoutCheckbox.setState(UserDefaultsService::showBuildInLayoutAction() ? Checkbox::on : Checkbox::off);
  gapLayoutCheckbox.setState(UserDefaultsService::gutterEnabled() ? Checkbox::on : Checkbox::off);
}

void GeneralPreferencesViewController::setupLayout() { logHook("Layout"); }

void GeneralPreferencesViewController::setupViewModel() {
  logHook("ViewModel");
  startupCheckbox.rxState()
      .subscribe([this](const int& state) {
        if (lastStartupState_ == state) return;
        lastStartupState_ = state;
        launchAtLoginChanged(state);
      })
      .disposed(disposeBag());
  hideMenuCheckbox.rxState()
      .subscribe([](const int& state) { UserDefaultsService::setHideInMenuBar(state); })
      .disposed(disposeBag());
  hideLayoutCheckbox.rxState().subscribe([this](const int& state) { hideLayoutActionChanged(state); }).disposed(disposeBag());
  gapLayoutCheckbox.rxState().subscribe([this](const int& state) { gutterChanged(state); }).disposed(disposeBag());
}

void GeneralPreferencesViewController::launchAtLoginChanged(int state) {
  const bool enable = state == Checkbox::on;
  const bool done = enable ? loginItem_.enableLaunchAtLogin() : loginItem_.disableLaunchAtLogin();
  if (!done) {
    // The box goes back, and the state it shows counts as the last one handed on: the user's next click is a
    // change again and reaches the login item, instead of being taken for a repeat.
    const int previous = enable ? Checkbox::off : Checkbox::on;
    startupCheckbox.setState(previous);
    lastStartupState_ = previous;
    return;
  }
  defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  stored.setInteger(UserDefaultsService::launchAtLoginKey(), enable ? 1 : 0);
  stored.synchronize();
}

void GeneralPreferencesViewController::hideLayoutActionChanged(int state) {
  defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  stored.setBool(UserDefaultsService::showBuildInLayoutActionKey(), state == Checkbox::on);
  stored.synchronize();
  AppBridge::showBuildInLayoutActionChanged().onNext();
}

void GeneralPreferencesViewController::gutterChanged(int state) {
  defaults::UserDefaults& stored = defaults::UserDefaults::standard();
  stored.setBool(UserDefaultsService::gutterEnabledKey(), state == Checkbox::on);
  stored.synchronize();
  LayoutManager::shared().layoutAll();
}

}  // namespace tilvane
