#pragma once

#include <optional>
#include <string>
#include <vector>

#include "Preferences/Controls.h"
#include "Preferences/PreferencePane.h"
#include "Preferences/PreferencesViews.h"
#include "platform/autostart/LaunchAtLogin.h"
#include "platform/defaults/Value.h"

namespace tilvane {

/// The General pane: start at login, hide the tray icon, hide the built-in layout actions from the menu, gaps
/// between windows. Each row is a label, a checkbox and a grey line under it. Every delivered state is stored at
/// once (start at login only once the login item agreed) and handed on: to the login item, the tray (through
/// UserDefaultsService), the menu (AppBridge::showBuildInLayoutActionChanged) or the layout engine (layoutAll).
/// Loading the view applies each row once with the stored states, without writing them again; a row whose key holds
/// no value of its type (absent, a damaged settings file, a hand edit) is not applied at all, so nothing is done
/// from its default. Without such a value the start-at-login box shows the login item as it stands.
/// A click whose setting cannot be saved is undone: the box goes back to what is stored, a login item changed for
/// it is changed back (when the click enabled or disabled it), and a window-modal alert over the pane says the
/// setting was not saved. A setting changed in the file by another instance or by hand (AppBridge::settingsChanged)
/// shows in its box and is acted on as a click would be, without writing it again: the tray icon, the menu, a
/// layout of all windows, and the login item when the key holds a value of its type. Main thread only.
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
  /// Shows and acts on the rows whose keys another instance or a hand edit changed in the file.
  void followStoredChanges(const std::vector<std::string>& keys);

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
  /// The box state for the value of its type stored under `key`; none without one.
  std::optional<int> storedState(const std::string& key) const;
  /// Whether `key` holds a value of its type.
  bool isKnown(const std::string& key) const;
  /// Stores a row's value; while loading, only answers whether the row may be applied.
  bool store(const std::string& key, defaults::Value value);
  /// A click could not be saved: the box shows what is stored and the user is told.
  void notSaved(Checkbox& box, const std::string& key);
  /// The box state for what is stored under `key` (storedState, else what stands).
  int stateOf(const std::string& key) const;

  /// The last start-at-login state handed on: a repeat of it is dropped.
  std::optional<int> lastStartupState_;
  /// True while the load's pass hands each box's stored state over.
  bool loading_ = false;
};

}  // namespace tilvane
