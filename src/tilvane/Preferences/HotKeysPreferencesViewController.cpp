#include "Preferences/HotKeysPreferencesViewController.h"

#include "AppManager/Bridges/Bridges.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Layout/LayoutManager.h"
#include "platform/desktop/SIWindow.h"
#include "platform/dispatch/MainQueue.h"
#include "platform/hotkeys/MASShortcutBinder.h"
#include "platform/l10n/Localization.h"

namespace tilvane {

HotKeysPreferencesViewController::HotKeysPreferencesViewController(PreferencesViews* views)
    : PreferencePane("HotKeys", "PreferenceHotkeys"),
      rows_{{{NSLocalizedString("LayoutCurrentWindow"), "layoutShortcut", NSLocalizedString("LayoutCurrentWindowDesc")},
             {NSLocalizedString("LayoutAll") + " :", "restoreShortcut", NSLocalizedString("LayoutAllDesc")},
             {NSLocalizedString("MoveToAnotherScreen") + " :", "switchDisplayShortcut",
              NSLocalizedString("MoveToAnotherScreenDesc")},
             {NSLocalizedString("AutoLayoutToggle") + " :", "autoLayoutToggleShortcut",
              NSLocalizedString("AutoLayoutToggleDesc")}}},
      views_(views) {
  bindHotKeys();
}

// The actions hold nothing of the pane: they reach the shared controllers when the key is pressed.
void HotKeysPreferencesViewController::bindHotKeys() {
  MASShortcutBinder& binder = MASShortcutBinder::sharedBinder();
  binder.bindShortcutWithDefaultsKey(rows_[0].defaultsKey, [] { BuildInLayoutActionController::shared().startChooser(); });
  binder.bindShortcutWithDefaultsKey(rows_[1].defaultsKey, [] {
    dispatch::MainQueue::async([] { LayoutManager::shared().layoutAll(); });
  });
  binder.bindShortcutWithDefaultsKey(rows_[2].defaultsKey, [] {
    if (auto window = SIWindow::focusedWindow())
      BuildInLayoutActionController::shared().applyLayoutType(*window, LayoutNode::Type::switchScreen);
  });
  binder.bindShortcutWithDefaultsKey(rows_[3].defaultsKey, [] { AppBridge::toggleAutoLayout().onNext(); });
}

std::unique_ptr<PaneView> HotKeysPreferencesViewController::makeView() {
  return views_ ? views_->makeView(*this) : nullptr;
}

void HotKeysPreferencesViewController::setupUI() {
  logHook("UI");
  applyPaneSize();
}

void HotKeysPreferencesViewController::setupLayout() { logHook("Layout"); }

}  // namespace tilvane
