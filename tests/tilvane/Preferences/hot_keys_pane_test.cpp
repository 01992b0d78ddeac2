// The Hot keys pane's four global hot keys on the simulated desktop and hot-key server: bound when the pane is
// made, acting from then on, following what the recorders store.
#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Layout/LayoutManager.h"
#include "Preferences/HotKeysPreferencesViewController.h"
#include "platform/desktop/CGEvent.h"
#include "platform/hotkeys/HotKeyServer.h"
#include "platform/hotkeys/MASShortcutBinder.h"
#include "platform/hotkeys/ShortcutDefaults.h"
#include "platform/hotkeys/ShortcutRecorder.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "platform/l10n/Localization.h"
#include "support/windows/WindowWorld.h"

namespace tilvane::test {
namespace {

constexpr std::uint64_t kKeyL = 37;  // the virtual key codes of L and K
constexpr std::uint64_t kKeyK = 40;
constexpr CGEventFlags kCtrlAlt = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;

class HotKeysPaneTest : public WindowWorld {
 protected:
  HotKeysPaneTest() { startManagers(); }

  /// Records `key` with `flags` under `defaultsKey`, as the row's recorder does when the user types it.
  static void record(const std::string& defaultsKey, std::uint64_t key, CGEventFlags flags) {
    ShortcutRecorder recorder;
    recorder.setAssociatedUserDefaultsKey(defaultsKey);
    recorder.startRecording();
    ASSERT_TRUE(recorder.handleKeyDown(key, flags));
    ASSERT_FALSE(recorder.isRecording());
  }

  sim::SimHotKeys hotKeys_;
  HotKeyServer::Scope scope_{hotKeys_};
};

TEST_F(HotKeysPaneTest, RowsCarryTheirKeysAndTexts) {
  HotKeysPreferencesViewController pane(nullptr);
  const auto& rows = pane.rows();
  EXPECT_EQ(rows[0].defaultsKey, "layoutShortcut");
  EXPECT_EQ(rows[1].defaultsKey, "restoreShortcut");
  EXPECT_EQ(rows[2].defaultsKey, "switchDisplayShortcut");
  EXPECT_EQ(rows[3].defaultsKey, "autoLayoutToggleShortcut");
  EXPECT_EQ(rows[0].label, NSLocalizedString("LayoutCurrentWindow")) << "nothing appended";
  EXPECT_EQ(rows[3].label, NSLocalizedString("AutoLayoutToggle") + " :");
  EXPECT_EQ(rows[2].intro, NSLocalizedString("MoveToAnotherScreenDesc"));
  EXPECT_TRUE(hotKeys_.grabbed().empty()) << "no hot key until one is recorded";
}

TEST_F(HotKeysPaneTest, TheLayoutHotKeyOpensTheChooserOverTheFocusedWindowWithoutTheWindowEverShown) {
  const AXUIElement window = settledWindow();
  apps().focusWindow(window);
  HotKeysPreferencesViewController pane(nullptr);
  EXPECT_FALSE(pane.isViewLoaded());
  record("layoutShortcut", kKeyL, kCtrlAlt);
  ASSERT_TRUE(hotKeys_.press(kKeyL, kCtrlAlt));
  drain();
  LayoutChooser& chooser = BuildInLayoutActionController::shared().chooser();
  EXPECT_TRUE(chooser.isVisible());
  EXPECT_EQ(chooser.focusedWindow(), SIWindow(window));

  // A new chord frees the old one.
  advance(2.0);
  record("layoutShortcut", kKeyK, kCtrlAlt);
  EXPECT_FALSE(hotKeys_.isGrabbed(MASShortcut(kKeyL, kCtrlAlt)));
  EXPECT_FALSE(hotKeys_.press(kKeyL, kCtrlAlt));
  EXPECT_TRUE(hotKeys_.press(kKeyK, kCtrlAlt));
}

TEST_F(HotKeysPaneTest, LayoutAllRunsAfterTheActionReturnedAndToggleAsksTheMenu) {
  const AXUIElement window = settledWindow();
  HotKeysPreferencesViewController pane(nullptr);
  record("restoreShortcut", kKeyL, kCtrlAlt);
  record("autoLayoutToggleShortcut", kKeyK, kCtrlAlt);
  SIWindow moved(window);
  placeFrame(moved, CGRectMake(300, 300, 500, 400), GaplessOrder::setFrame);  // a place its record does not hold
  drain();
  const CGRect placed = frameOf(window);
  ASSERT_TRUE(hotKeys_.press(kKeyL, kCtrlAlt));
  drain();
  EXPECT_NE(frameOf(window), placed) << "laid out again at its remembered place";

  int toggles = 0;
  rx::DisposeBag bag;
  AppBridge::toggleAutoLayout().subscribe([&](const rx::Unit&) { ++toggles; }).disposed(bag);
  ASSERT_TRUE(hotKeys_.press(kKeyK, kCtrlAlt));
  drain();
  EXPECT_EQ(toggles, 1);
}

TEST_F(HotKeysPaneTest, SwitchDisplayWithoutAFocusedWindowDoesNothing) {
  settledWindow();
  HotKeysPreferencesViewController pane(nullptr);
  record("switchDisplayShortcut", kKeyL, kCtrlAlt);
  ASSERT_FALSE(apps().focusedWindow());
  const std::size_t before = requests().size();
  ASSERT_TRUE(hotKeys_.press(kKeyL, kCtrlAlt));
  drain();
  EXPECT_EQ(requests().size(), before);
}

}  // namespace
}  // namespace tilvane::test
