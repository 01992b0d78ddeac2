#pragma once

#include <functional>
#include <memory>
#include <string>

#include "AppManager/Settings/BundleVersion.h"
#include "Preferences/AboutPreferencesViewController.h"
#include "Preferences/GeneralPreferencesViewController.h"
#include "Preferences/HotKeysPreferencesViewController.h"
#include "Preferences/MASPreferencesWindowController.h"
#include "Preferences/PreferencesViews.h"
#include "Preferences/UpdatesPreferencesViewController.h"
#include "Shell/Updater.h"
#include "VkKit/VkRxController.h"
#include "platform/autostart/LaunchAtLogin.h"

namespace tilvane {

/// What the preferences reach outside themselves.
struct PreferencesServices {
  Updater& updater;
  /// Opens an address in the user's browser.
  std::function<bool(const std::string&)> openURL;
  /// The login item; null: the XDG autostart entry.
  LaunchAtLogin* launchAtLogin = nullptr;
  /// Makes the window and the panes' views; null: no window.
  PreferencesViews* views = nullptr;
  BundleVersion version = BundleVersion::main();
};

/// The preferences window: its four panes (General, Hot keys, Updates, About) in a pane window, an "Advanced"
/// button at the right end of the toolbar, and the subscription that shows the window, at a pane when asked,
/// on every AppBridge::openPreferences. Making it makes the panes, so the hot keys act from then on. Made once
/// by the main controller once windows may be moved. Main thread only.
class PreferencesViewController : public VkRxController {
 public:
  PreferencesViewController(Passkey key, PreferencesServices services);

  /// The pane window; set once setupUI() has run.
  MASPreferencesWindowController* preferenceViewController() const { return preferenceViewController_.get(); }
  GeneralPreferencesViewController& general() { return *general_; }
  HotKeysPreferencesViewController& hotKeys() { return *hotKeys_; }
  UpdatesPreferencesViewController& updates() { return *updates_; }
  AboutPreferencesViewController& about() { return *about_; }

  /// Selects pane `index` when it is above 0, shows the window and activates the program. 0 and -1 show the
  /// pane selected already.
  void showPane(int index);
  /// The Advanced button's tap: one AppBridge::openAdvanced.
  void postOpenAdvanced();

 protected:
  void setupUI() override;
  void setupViewModel() override;

 private:
  PreferencesServices services_;
  std::unique_ptr<LaunchAtLogin> ownLoginItem_;
  std::unique_ptr<GeneralPreferencesViewController> general_;
  std::unique_ptr<HotKeysPreferencesViewController> hotKeys_;
  std::unique_ptr<UpdatesPreferencesViewController> updates_;
  std::unique_ptr<AboutPreferencesViewController> about_;
  std::unique_ptr<MASPreferencesWindowController> preferenceViewController_;
};

}  // namespace tilvane
