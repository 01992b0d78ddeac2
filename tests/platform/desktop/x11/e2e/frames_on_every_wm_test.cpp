// Where Tilvane's layouts put windows under each window manager of the matrix, compared with the visible frame
// the test's own connection reads: a plain window, and one that draws its own frame with invisible shadow
// margins inside its area (as toolkits with client-side decorations do under a compositor). The monitor's visible
// frame is (0, 0, 1920, 1056); the test windows have no size steps, so every frame must be exact.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>

#include "AppManager/Logging/LogManager.h"
#include "BuildInLayoutAction/BuildInLayoutActionController.h"
#include "Models/CustomLayoutModel.h"
#include "TilvaneOnX11.h"
#include "platform/desktop/KeyCodes.h"
#include "platform/desktop/SIApplication.h"
#include "platform/hotkeys/x11/X11DesktopHotKeys.h"
#include "support/x11/KeyboardUser.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::uint32_t kControlL = 0xffe3, kAltL = 0xffe9;
// Shadow margins of the window that draws its own frame: left, right, top, bottom.
const std::vector<std::string> kOwnFrame = {"--own-frame", "23,23,15,31"};

class FramesOnEveryWindowManagerTest : public TilvaneOnX11Test {
 protected:
  /// Starts a client (with `extra` arguments), waits until Tilvane manages its window and returns it.
  std::uint32_t managedWindow(const std::string& bundle, std::vector<std::string> extra = {}) {
    std::vector<std::string> args = {"--class", "frames," + bundle, "--title", bundle};
    args.insert(args.end(), extra.begin(), extra.end());
    auto& client = launchClient(args);
    EXPECT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
    advance(1.0);
    EXPECT_TRUE(waitUntil([&] { return managed(client.window()); }));
    advance(3.0);  // the program's own placement is over
    return client.window();
  }

  /// Whether the visible frame of `window` becomes `rect`. A window with shadow margins (`shadowed`) may stop
  /// short of a screen edge by its margins under openbox and icewm, which know nothing of the margins and keep
  /// its area on the screen depending on where it was before (docs/ARCHITECTURE.md, window-manager quirks):
  /// there its size must be exact and its place within its margins.
  bool landsOn(std::uint32_t window, const XRectangle& rect, bool shadowed) {
    const bool margins = shadowed && (windowManager() == "openbox" || windowManager() == "icewm");
    return waitUntil([&] {
      const auto f = probe().frameRect(window);
      if (!f || f->width != rect.width || f->height != rect.height) return false;
      if (!margins) return *f == rect;
      return std::abs(f->x - rect.x) <= 23 && std::abs(f->y - rect.y) <= 31;
    });
  }
};

TEST_F(FramesOnEveryWindowManagerTest, EachHalfAndQuarterPutsTheVisibleFrameOnItsRectangle) {
  startTilvane();
  const std::uint32_t windows[] = {managedWindow("TilvanePlain"), managedWindow("TilvaneShadowed", kOwnFrame)};
  const std::pair<LayoutNode::Type, XRectangle> cases[] = {
      {LayoutNode::Type::halfLeft, {0, 0, 960, 1056}},     {LayoutNode::Type::halfRight, {960, 0, 960, 1056}},
      {LayoutNode::Type::halfTop, {0, 0, 1920, 528}},      {LayoutNode::Type::halfBottom, {0, 528, 1920, 528}},
      {LayoutNode::Type::topLeft, {0, 0, 960, 528}},       {LayoutNode::Type::topRight, {960, 0, 960, 528}},
      {LayoutNode::Type::bottomLeft, {0, 528, 960, 528}},  {LayoutNode::Type::bottomRight, {960, 528, 960, 528}},
  };
  for (const std::uint32_t window : windows) {
    const auto element = this->element(window);
    ASSERT_TRUE(element);
    for (const auto& [type, rect] : cases) {
      BuildInLayoutActionController::shared().applyLayoutType(SIWindow(*element), type);
      EXPECT_TRUE(landsOn(window, rect, window == windows[1]))
          << "window " << window << ", expected " << rect << ", got " << *probe().frameRect(window);
      // What the program reads back is the visible frame that is there (once its own request no longer stands
      // over what the server shows, should the window manager have put the window elsewhere).
      advance(0.6);
      catchUp();
      const auto seen = probe().frameRect(window);
      EXPECT_EQ(SIWindow(*element).frame(), CGRectMake(seen->x, seen->y, seen->width, seen->height));
    }
  }
  // The shadowed window's area really is larger than what shows, by its margins.
  EXPECT_EQ(probe().clientRect(windows[1])->width, 960 + 23 + 23);
}

TEST_F(FramesOnEveryWindowManagerTest, AWindowWithShadowsReturnsWhereItWasSeenWhetherItsShadowsCameOrWent) {
  storeRecord("TilvaneShadowRemembered", 0, CGRectMake(0.25, 0.25, 0.5, 0.5));
  startTilvane();
  auto& client = launchClient(
      {"--class", "frames,TilvaneShadowRemembered", "--title", "Remembered", kOwnFrame[0], kOwnFrame[1]});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {480, 264, 960, 528})) << *probe().frameRect(client.window());
  const auto element = this->element(client.window());
  ASSERT_TRUE(element);

  // The compositor goes: the shadows with it. The backend follows the property (the area is the same, so the
  // window shows larger) and tells of the change.
  std::vector<std::string> told;
  const SIApplication app(client.pid());
  for (const std::string_view name : {kAXWindowMovedNotification, kAXWindowResizedNotification})
    ASSERT_TRUE(app.observeNotification(name, app.axElement(), [&told, name](const AXUIElement&) {
      told.emplace_back(name);
    }));
  const std::uint32_t none[4] = {0, 0, 0, 0};
  probe().setProperty(client.window(), "_GTK_FRAME_EXTENTS", XCB_ATOM_CARDINAL, 32, none, 4);
  ASSERT_TRUE(waitUntil([&] { return told.size() == 2; })) << ::testing::PrintToString(told);
  EXPECT_EQ(told, (std::vector<std::string>{std::string(kAXWindowMovedNotification),
                                            std::string(kAXWindowResizedNotification)}));
  EXPECT_EQ(SIWindow(*element).frame(), CGRectMake(480 - 23, 264 - 15, 960 + 46, 528 + 46));

  // A restart puts the window back where it was seen, whatever its margins are now.
  restartTilvane();
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(frameBecomes(client.window(), {480, 264, 960, 528})) << *probe().frameRect(client.window());
  EXPECT_EQ(probe().clientRect(client.window()), (XRectangle{480, 264, 960, 528}));
}

TEST_F(FramesOnEveryWindowManagerTest, AFixedLayoutsHotKeyPutsAWindowWithShadowsOnItsCell) {
  const auto database = store::Database::open();
  // The top-right cell of a 2 x 2 grid (cell (0, 1) is bit (2 - 1 - 0) x 2 + (2 - 1 - 1)).
  database->write([&] { database->add(fixedLayout("Top right", 2, 2, 4, kVK_ANSI_1)); });
  tilvane::x11::X11DesktopHotKeys hotKeys(desktop());
  HotKeyServer::Scope scope(hotKeys.server());
  const std::shared_ptr<void> stop(nullptr, [this](void*) { stopTilvane(); });  // keys go while the server is here
  startTilvane();

  const std::uint32_t window = managedWindow("TilvaneShadowKey", kOwnFrame);
  ASSERT_TRUE(SIWindow(*element(window)).focusWindow());
  ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == window; }));
  KeyboardUser(display()).typeKeysym({kControlL, kAltL}, '1');
  ASSERT_TRUE(landsOn(window, {960, 0, 960, 528}, true)) << *probe().frameRect(window);
  // A picture to look at: the dark shadow margins reach past the top-right quarter, the blue area fills it.
  EXPECT_EQ(runCommand({"import", "-display", display(), "-window", "root",
                        std::string(TILVANE_ARTEFACT_DIR) + "/shadowed-top-right-" + windowManager() + ".png"}),
            0);
}

TEST_F(FramesOnEveryWindowManagerTest, AHotKeyTheWindowManagerHoldsIsReportedOnceAndTheOthersWork) {
  // Every test desktop's window manager holds Control+Alt+0.
  const auto database = store::Database::open();
  database->write([&] {
    database->add(fixedLayout("Held by the window manager", 1, 1, 1, kVK_ANSI_0));
    database->add(fixedLayout("Left half", 2, 1, 2, kVK_ANSI_1));
  });
  tilvane::x11::X11DesktopHotKeys hotKeys(desktop());
  HotKeyServer::Scope scope(hotKeys.server());
  const std::shared_ptr<void> stop(nullptr, [this](void*) { stopTilvane(); });
  LogManager::Capture log;
  startTilvane();

  const std::string key = MASShortcut(kVK_ANSI_0, kCGEventFlagMaskControl | kCGEventFlagMaskAlternate).description();
  EXPECT_EQ(log.count(key), 1u) << ::testing::PrintToString(log.lines());
  EXPECT_EQ(log.count("hot key " + key + " of custom layout \"Held by the window manager\" not registered: another "
                      "program holds it"),
            1u)
      << ::testing::PrintToString(log.lines());

  // Tilvane goes on: the other layout's key works.
  const std::uint32_t window = managedWindow("TilvaneStillWorking");
  ASSERT_TRUE(SIWindow(*element(window)).focusWindow());
  ASSERT_TRUE(waitUntil([&] { return probe().activeWindow() == window; }));
  KeyboardUser(display()).typeKeysym({kControlL, kAltL}, '1');
  ASSERT_TRUE(frameBecomes(window, {0, 0, 960, 1056})) << *probe().frameRect(window);
  EXPECT_EQ(log.count(key), 1u);
}

TEST_F(FramesOnEveryWindowManagerTest, AWindowClosedWithItsApplicationIsLoggedWithItsName) {
  LogManager::Capture log;
  startTilvane();
  auto& client = launchClient({"--class", "frames,TilvaneClosing", "--title", "Closing"});
  ASSERT_TRUE(waitUntil([&] { return tracked(client.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(client.window()); }));
  const std::uint32_t window = client.window();
  client.quit();  // the process ends, its window with it (as a terminal closes)
  ASSERT_TRUE(waitUntil([&] { return !managed(window); }));
  const auto lines = log.lines();
  EXPECT_EQ(std::count_if(lines.begin(), lines.end(),
                          [](const std::string& line) {
                            return line.find("remove window(") != std::string::npos &&
                                   line.ends_with("), TilvaneClosing, Closing");
                          }),
            1)
      << ::testing::PrintToString(lines);
}

}  // namespace
}  // namespace tilvane::test::x11
