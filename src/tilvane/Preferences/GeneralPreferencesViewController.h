#pragma once

#include <optional>
#include <string>

#include "Preferences/Controls.h"
#include "Preferences/PreferencePane.h"
#include "Preferences/PreferencesViews.h"
#include "platform/autostart/LaunchAtLogin.h"

namespace tilvane {

/// The General pane: start at login, hide the tray icon, hide the built-in layout actions from the menu, gaps
/// between windows. Each row is a label, a checkbox and a grey line under it. Every delivered state is stored at
/// once (start at login only once the login item agreed) and handed on: to the login item, the tray (through
/// UserDefaultsService), the menu (AppBridge::showBuildInLayoutActionChanged) or the layout engine (layoutAll).
/// Loading the view applies each row once with the stored states. Main thread only.
class GeneralPreferencesViewController final : public PreferencePane {
 public:
  /// `loginItem` and `views` (null: no view) must outlive the pane.
  GeneralPreferencesViewController(LaunchAtLogin& loginItem, PreferencesViews* views);

  std::string className() const override { return "GeneralPreferencesViewController"; }
  Constants::Size paneSize() const override { return Constants::Preferences::generalPaneSize(); }

  /// Enables (1) or disables (other) start at login; stores "launchAtLogin" on success, else puts the box back.
  void launchAtLoginChanged(int state);
  void hideLayoutActionChanged(int state);
  void gutterChanged(int state);

  const std::string startupLabel;
  Checkbox startupCheckbox;
  const std::string startupIntroLabel;
  const std::string hideMenuLabel;
  Checkbox hideMenuCheckbox;
  const std::string hideMenuIntroLabel;
  const std::string hideLayoutLabel;
  Checkbox hideLayoutCheckbox;
  const std::string hideLayoutIntroLabel;
  const std::string gapLayoutLabel;
  Checkbox gapLayoutCheckbox;
  const std::string gapLayoutIntroLabel;

 protected:
  void setupUI() override;
  void setupLayout() override;
  void setupViewModel() override;
  std::unique_ptr<PaneView> makeView() override;

 private:
  LaunchAtLogin& loginItem_;
  PreferencesViews* views_;
  /// The last start-at-login state handed on: a repeat of it is dropped.
  std::optional<int> lastStartupState_;
};

}  // namespace tilvane
