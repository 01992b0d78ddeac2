// A layout made in the Layouts pane acts at once: its hot key, recorded in the editor, moves the focused window.
#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Store/StoreService.h"
#include "CustomLayout/CustomLayoutViewController.h"
#include "Models/CustomLayoutModel.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/hotkeys/sim/SimHotKeys.h"
#include "support/windows/WindowWorld.h"

namespace tilvane::test {
namespace {

constexpr std::uint64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint64_t kKeyR = 15;

class LayoutsPaneHotKeyTest : public WindowWorld {
 protected:
  sim::SimHotKeys hotKeys;
  HotKeyServer::Scope hotKeyScope{hotKeys};
};

TEST_F(LayoutsPaneHotKeyTest, ARightHalfDrawnAndGivenCtrlAltRMovesTheFocusedWindowThere) {
  startManagers();
  CustomLayoutViewController list;
  list.view();
  auto& editor = list.deatilViewController();
  list.addButtonTap().onNext();
  editor.rulePopUpButtonAction().onNext(1);
  editor.rowPopUpButtonAction().onNext(0);
  editor.columnPopUpButtonAction().onNext(1);
  auto& grid = editor.fixPositionMatrixView();
  for (int tap = 0; tap < 2; ++tap) {
    grid.cellAt(0, 1)->mouseDown();
    grid.cellAt(0, 1)->mouseUp();
  }
  ShortcutRecorder recorder;
  recorder.setShortcutValueChange([&](ShortcutRecorder& r) { editor.shortcutValueChange().onNext(&r); });
  recorder.startRecording();
  recorder.handleKeyDown(kKeyR, kControlOption);
  EXPECT_TRUE(hotKeys.isGrabbed(MASShortcut(kKeyR, kControlOption)));

  const AXUIElement window = settledWindow();
  apps().focusWindow(window);
  EXPECT_TRUE(hotKeys.press(kKeyR, kControlOption));
  drain();
  EXPECT_EQ(frameOf(window), CGRectMake(720, 23, 720, 877));

  // Another chord frees the old one; clearing frees the key altogether.
  recorder.startRecording();
  recorder.handleKeyDown(kKeyR, kCGEventFlagMaskControl | kCGEventFlagMaskShift);
  EXPECT_FALSE(hotKeys.isGrabbed(MASShortcut(kKeyR, kControlOption)));
  recorder.clear();
  EXPECT_FALSE(hotKeys.isGrabbed(MASShortcut(kKeyR, kCGEventFlagMaskControl | kCGEventFlagMaskShift)));
  ASSERT_EQ(StoreService::shared().customLayouts().size(), 1u);
  EXPECT_EQ(StoreService::shared().customLayouts()[0]->keyCode(), -1);
}

}  // namespace
}  // namespace tilvane::test
