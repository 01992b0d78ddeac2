#pragma once

#include <string>

#include "Preferences/Controls.h"
#include "Preferences/PreferencePane.h"
#include "Preferences/PreferencesViews.h"
#include "Shell/Updater.h"

namespace tilvane {

/// The Updates pane: a button that asks for an update check (AppBridge::checkForUpdates) and a checkbox that
/// switches the updater's automatic checks: on is checks on, downloads off, a one-day interval; off is checks
/// and downloads off. The pane keeps no setting: the updater does. Main thread only.
class UpdatesPreferencesViewController final : public PreferencePane {
 public:
  static constexpr double kCheckInterval = 86400.0;

  /// `updater` and `views` (null: no view) must outlive the pane.
  UpdatesPreferencesViewController(Updater& updater, PreferencesViews* views);

  std::string className() const override { return "UpdatesPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Preferences::updatesPaneSize(); }

  /// Hands a checkbox state to the updater.
  void automaticCheckChanged(int state);

  const std::string updatesLabel;
  PushButton updatesButton;
  Checkbox updatesCheckbox;
  const std::string updatesIntroLabel;

 protected:
  void setupUI() override;
  void setupLayout() override;
  void setupViewModel() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  Updater& updater_;
  PreferencesViews* views_;
  /// True while the load's pass hands the box's stored state over.
  bool loading_ = false;
};

}  // namespace tilvane
