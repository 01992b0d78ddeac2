#include "Preferences/UpdatesPreferencesViewController.h"

#include <algorithm>

#include "AppManager/Bridges/Bridges.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

UpdatesPreferencesViewController::UpdatesPreferencesViewController(Updater& updater, PreferencesViews* views)
    : PreferencePane("Updates", "PreferenceUpdates"),
      updatesLabel(NSLocalizedString("Updates") + " :"),
      updatesButton(NSLocalizedString("CheckForUpdate")),
      updatesCheckbox(NSLocalizedString("CheckforUpdatesAutomatically")),
      updatesIntroLabel(NSLocalizedString("AutomaticallyCheckforUpdates")),
      updater_(updater),
      views_(views) {
  // The updater's settings changed in the file by another instance or by hand show in the box.
  AppBridge::settingsChanged()
      .subscribe([this](const std::vector<std::string>& keys) {
        if (std::any_of(keys.begin(), keys.end(), [](const std::string& key) { return key.starts_with("updater"); }))
          updatesCheckbox.setState(updater_.automaticallyChecksForUpdates() ? Checkbox::on : Checkbox::off);
      })
      .disposed(disposeBag());
}

std::unique_ptr<PaneView> UpdatesPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

void UpdatesPreferencesViewController::setupUI() {
  logHook("UI");
  applyPaneSize();
  updatesCheckbox.setState(updater_.automaticallyChecksForUpdates() ? Checkbox::on : Checkbox::off);
}

void UpdatesPreferencesViewController::setupLayout() { logHook("Layout"); }

void UpdatesPreferencesViewController::setupViewModel() {
  logHook("ViewModel");
  updatesButton.rxTap().subscribe([](const rx::Unit&) { AppBridge::checkForUpdates().onNext(); }).disposed(disposeBag());
  // The load's pass hands the stored state over; one that could not be read is not applied from its default.
  loading_ = true;
  updatesCheckbox.rxState()
      .subscribe([this](const int& state) {
        if (!loading_ || updater_.isAutomaticCheckSettingKnown()) automaticCheckChanged(state);
      })
      .disposed(disposeBag());
  loading_ = false;
}

void UpdatesPreferencesViewController::automaticCheckChanged(int state) {
  if (state != Checkbox::on && state != Checkbox::off) return;
  if (!updater_.setAutomaticallyChecksForUpdates(state == Checkbox::on) && !loading_) {
    // The box shows what is stored, and the user learns the click did not hold.
    updatesCheckbox.setState(updater_.automaticallyChecksForUpdates() ? Checkbox::on : Checkbox::off);
    if (PaneView* shown = view()) shown->showAlert(NSLocalizedString("SettingNotSaved"));
    return;
  }
  updater_.setAutomaticallyDownloadsUpdates(false);
  if (state == Checkbox::on) updater_.setUpdateCheckInterval(kCheckInterval);
}

}  // namespace tilvane
