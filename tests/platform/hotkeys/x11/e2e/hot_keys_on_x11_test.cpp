// Tilvane's hot keys on the test desktop: a custom layout's key pressed by the user moves the focused window,
// a changed key is grabbed anew, a key held by another program is reported, and desktop-switch keys switch.
// The monitor is 1920x1080 less the 24-pixel tray: the visible frame is (0, 0, 1920, 1056).
#include <gtest/gtest.h>

#include "AppManager/Bridges/Bridges.h"
#include "AppManager/Geometry/DesktopSwitch.h"
#include "AppManager/Logging/LogManager.h"
#include "Models/CustomLayoutModel.h"
#include "Shortcuts/ShortcutsManager.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/x11/e2e/TilvaneOnX11.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "platform/hotkeys/x11/user/KeyboardUser.h"
#include "platform/store/Database.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9;
constexpr std::int64_t kControlOption = kCGEventFlagMaskControl | kCGEventFlagMaskAlternate;
constexpr std::uint16_t kControlMod1 = XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1;
constexpr std::uint8_t kBadAccess = 10;

class HotKeysOnX11Test : public TilvaneOnX11Test {
 protected:
  void SetUp() override {
    TilvaneOnX11Test::SetUp();
    if (HasFatalFailure()) return;
    hotKeys_ = std::make_unique<tilvane::x11::X11DesktopHotKeys>(desktop());
    scope_ = std::make_unique<HotKeyServer::Scope>(hotKeys_->server());
    user_ = std::make_unique<KeyboardUser>(display());
    ASSERT_TRUE(user_->ok());
  }

  void TearDown() override {
    user_.reset();
    stopTilvane();  // the managers let their keys go while the server is there
    scope_.reset();
    hotKeys_.reset();
    TilvaneOnX11Test::TearDown();
  }

  /// Stores a fixed custom layout of the cells `matrix` on a `width` x `height` grid with a hot key.
  CustomLayoutModelPtr storeLayout(const std::string& name, std::int64_t width, std::int64_t height,
                                   std::int64_t matrix, std::int64_t keyCode, std::int64_t flags) {
    auto layout = std::make_shared<CustomLayoutModel>();
    layout->setId(name);
    layout->setName(name);
    layout->setType(1);  // fixed
    layout->setWidth(width);
    layout->setHeight(height);
    layout->setMatrixValue(matrix);
    layout->setKeyCode(keyCode);
    layout->setModifierFlags(flags);
    const auto database = store::Database::open();
    database->write([&] { database->add(layout, store::UpdatePolicy::all); });
    return layout;
  }

  /// Tilvane's start-up with the hot keys, as the application delegate does it.
  void startWithHotKeys() {
    startTilvane();
    ShortcutsManager::shared().registerAll();
    ShortcutsManager::shared().observe();
  }

  /// A test window managed by Tilvane and focused.
  std::uint32_t focusedTestWindow() {
    auto& client = launchClient({"--class", "hotkey,TilvaneHotKey", "--title", "Hot key target"});
    const std::uint32_t window = client.window();
    EXPECT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(window); }));
    const auto e = element(window);
    EXPECT_TRUE(e && SIWindow(*e).focusWindow());
    EXPECT_TRUE(waitUntil([&] { return probe().activeWindow() == window; }));
    return window;
  }

  bool frameBecomes(std::uint32_t window, const XRectangle& frame) {
    return waitUntil([&] { return probe().frameRect(window) == frame; });
  }

  std::unique_ptr<tilvane::x11::X11DesktopHotKeys> hotKeys_;
  std::unique_ptr<HotKeyServer::Scope> scope_;
  std::unique_ptr<KeyboardUser> user_;
};

const XRectangle kRightHalf{960, 0, 960, 1056};
const XRectangle kTopLeftQuarter{0, 0, 960, 528};

TEST_F(HotKeysOnX11Test, ALayoutsHotKeyMovesTheFocusedWindowAndFollowsAChangedKey) {
  // A 2 x 1 grid with its right cell selected: the right half.
  const auto layout = storeLayout("Right half", 2, 1, 1, kVK_ANSI_1, kControlOption);
  startWithHotKeys();
  const std::uint32_t window = focusedTestWindow();

  user_->typeKeysym({kControlL, kAltL}, '1');
  ASSERT_TRUE(frameBecomes(window, kRightHalf)) << *probe().frameRect(window);

  // The editor saves the layout with another key and publishes the change.
  auto changed = store::unmanagedCopy(*layout);
  changed->setKeyCode(kVK_ANSI_2);
  changed->setWidth(2);
  changed->setHeight(2);
  changed->setMatrixValue(8);  // the top-left cell of 2 x 2 is the highest bit
  const auto database = store::Database::open();
  database->write([&] { database->add(changed, store::UpdatePolicy::all); });
  CustomLayoutBridge::layoutChanged().onNext(changed);

  const xcb_keycode_t one = user_->keycodeOf('1'), two = user_->keycodeOf('2');
  EXPECT_EQ(user_->grab(two, kControlMod1), kBadAccess);  // the new key is Tilvane's
  EXPECT_EQ(user_->grab(one, kControlMod1), 0);           // the old one is free again
  user_->ungrab(one, kControlMod1);

  user_->typeKeysym({kControlL, kAltL}, '2');
  ASSERT_TRUE(frameBecomes(window, kTopLeftQuarter)) << *probe().frameRect(window);
  // The old key moves nothing any more.
  probe().moveResize(window, {100, 100, 400, 300});
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(window)->x == 100; }));
  user_->typeKeysym({kControlL, kAltL}, '1');
  waitUntil([] { return false; }, 0.2);
  EXPECT_EQ(probe().frameRect(window)->x, 100);
}

TEST_F(HotKeysOnX11Test, AHotKeyAnotherProgramHoldsIsLoggedAndTilvaneGoesOn) {
  const xcb_keycode_t three = user_->keycodeOf('3');
  ASSERT_EQ(user_->grab(three, kControlMod1), 0);
  storeLayout("Taken", 2, 1, 1, kVK_ANSI_3, kControlOption);
  storeLayout("Free", 2, 1, 1, kVK_ANSI_4, kControlOption);
  LogManager::Capture capture;
  startWithHotKeys();
  EXPECT_EQ(capture.count("hot key Control+Option+key 20 is not available: another program holds it"), 1u)
      << ::testing::PrintToString(capture.lines());

  const std::uint32_t window = focusedTestWindow();
  user_->typeKeysym({kControlL, kAltL}, '4');
  ASSERT_TRUE(frameBecomes(window, kRightHalf)) << *probe().frameRect(window);
  user_->ungrab(three, kControlMod1);
}

TEST_F(HotKeysOnX11Test, DesktopSwitchKeysSwitchTheDesktop) {
  startWithHotKeys();
  switchToDesktop(3);  // Control + the digit 3: the third desktop, numbered 2
  ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == 2; }));
  switchToDesktop(1);
  ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == 0; }));
  switchToDesktop(11);  // no key: nothing is posted
  switchToDesktop(2);
  ASSERT_TRUE(waitUntil([&] { return probe().currentDesktop() == 1; }));
}

}  // namespace
}  // namespace tilvane::test::x11
