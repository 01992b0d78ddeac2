// Applications and windows on the test desktop beyond the desktop contract: the test client's plain windows (no
// size hints, so sizes are exact). openbox's test theme decorates a window with 1 pixel left
// and right, 20 on top and 5 at the bottom; frames are the outer frames, so that decoration is inside them.
#include <gtest/gtest.h>

#include <sys/socket.h>

#include <algorithm>

#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/NSRunningApplication.h"
#include "platform/desktop/SIApplication.h"
#include "platform/desktop/SIWindow.h"
#include "platform/base/Utf8.h"
#include "support/x11/X11BackendFixture.h"

namespace tilvane::test::x11 {
namespace {

constexpr std::int64_t kLeft = 1, kRight = 1, kTop = 20, kBottom = 5;

class X11WindowsTest : public X11BackendTest {};

TEST_F(X11WindowsTest, AClientIsOneApplicationWithItsWindowsAndTheTrayAnAgent) {
  auto& client = launchClient({"--class", "tilvane-alpha,TilvaneAlpha", "--title", "Alpha", "--windows", "2"});
  ASSERT_TRUE(element(client.window(1)));
  const auto app = NSRunningApplication::runningApplicationWithProcessIdentifier(client.pid());
  ASSERT_TRUE(app);
  EXPECT_EQ(app->localizedName, "TilvaneAlpha");  // no desktop entry claims the class
  EXPECT_FALSE(app->isAgent);

  const auto windows = SIApplication(client.pid()).windows();
  ASSERT_EQ(windows.size(), 2u);
  EXPECT_EQ(windows[1].title(), "Alpha 2");
  EXPECT_EQ(windows[0].stringForKey("AXSubrole"), "AXStandardWindow");
  EXPECT_TRUE(windows[0].isMovable());
  const auto outer = probe().frameRect(client.window(0));
  ASSERT_TRUE(outer);
  EXPECT_EQ(windows[0].frame(), CGRectMake(outer->x, outer->y, outer->width, outer->height));
  EXPECT_EQ(outer->width, 400 + kLeft + kRight);
  const auto all = NSWorkspace::runningApplications();
  const auto tray = std::find_if(all.begin(), all.end(), [](const auto& a) { return a.bundleIdentifier == "trayer"; });
  ASSERT_NE(tray, all.end());
  EXPECT_TRUE(tray->isAgent);
}

TEST_F(X11WindowsTest, SetFramePutsTheOuterFrameExactlyWhereAsked) {
  auto& client = launchClient({"--title", "Exact"});
  const auto e = element(client.window());
  ASSERT_TRUE(e);
  SIWindow window(*e);
  ASSERT_TRUE(window.setFrame(CGRectMake(100, 150, 640, 480)));
  ASSERT_TRUE(frameBecomes(client.window(), {100, 150, 640, 480})) << *probe().frameRect(client.window());
  // The decoration is inside the frame: the client area is smaller by the frame extents.
  EXPECT_EQ(probe().clientRect(client.window()), (XRectangle{100 + kLeft, 150 + kTop, 640 - kLeft - kRight,
                                                             480 - kTop - kBottom}));
  EXPECT_EQ(window.frame(), CGRectMake(100, 150, 640, 480));

  ASSERT_TRUE(window.setPosition(CGPoint{300.4, 200.6}));  // whole pixels, rounded
  ASSERT_TRUE(frameBecomes(client.window(), {300, 201, 640, 480}));
  ASSERT_TRUE(window.setSize(CGSize{500, 400}));  // the top-left corner stays
  ASSERT_TRUE(frameBecomes(client.window(), {300, 201, 500, 400}));
}

// A placement made while the window manager's answer to the one before is on the server but not yet among the
// events handled (a slow window manager, a setting switched off and on again): the frame the window is going to
// is the new one, whether the note of the earlier request still stands or has run out.
TEST_F(X11WindowsTest, ASecondPlacementBeforeTheFirstIsHeardIsWhereTheWindowGoes) {
  auto& client = launchClient({"--title", "Twice"});
  const auto e = element(client.window());
  ASSERT_TRUE(e);
  SIWindow window(*e);
  const CGRect second = CGRectMake(300, 100, 500, 400);
  for (const double noteAge : {0.0, 1.0}) {
    SCOPED_TRACE(noteAge > 0 ? "the earlier note ran out" : "the earlier note stands");
    ASSERT_TRUE(window.setFrame(second));
    ASSERT_TRUE(frameBecomes(client.window(), {300, 100, 500, 400}));
    catchUp();
    setPump(nullptr);
    ASSERT_TRUE(window.setFrame(CGRectMake(292, 92, 516, 416)));
    advance(noteAge);  // a new turn: the server is asked afresh
    ASSERT_TRUE(frameBecomes(client.window(), {292, 92, 516, 416}));
    // The steps of a placement with gaps, all in one turn: size, place, size again.
    ASSERT_TRUE(window.setSize(second.size));
    ASSERT_TRUE(window.setPosition(second.origin));
    ASSERT_TRUE(window.setSize(second.size));
    EXPECT_EQ(window.frame(), second);
    setPump([this] {
      notifyReadableDescriptors(loop());
      drain();
    });
    EXPECT_TRUE(frameBecomes(client.window(), {300, 100, 500, 400})) << *probe().frameRect(client.window());
    catchUp();
    EXPECT_EQ(window.frame(), second);
  }
}

TEST_F(X11WindowsTest, AMaximizedWindowIsUnmaximizedBeforeItMoves) {
  auto& client = launchClient({"--title", "Big"});
  const auto e = element(client.window());
  ASSERT_TRUE(e);
  probe().setState(client.window(), true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(client.window())->width == 1920; }));
  ASSERT_TRUE(SIWindow(*e).setFrame(CGRectMake(50, 60, 700, 500)));
  ASSERT_TRUE(frameBecomes(client.window(), {50, 60, 700, 500})) << *probe().frameRect(client.window());
  const auto states = probe().cardinals(client.window(), "_NET_WM_STATE");
  EXPECT_EQ(std::count(states.begin(), states.end(), probe().atom("_NET_WM_STATE_MAXIMIZED_VERT")), 0);
}

TEST_F(X11WindowsTest, WhatTheBackendKeepsFollowsWhatOthersChange) {
  auto& client = launchClient({"--title", "Before", "--windows", "2"});
  const auto e = element(client.window(0)), other = element(client.window(1));
  ASSERT_TRUE(e && other);
  SIWindow window(*e);
  // Everything a move needs is read once now: not maximised, the decoration, the focus, the title.
  ASSERT_TRUE(window.setFrame(CGRectMake(100, 100, 400, 300)));
  ASSERT_TRUE(frameBecomes(client.window(), {100, 100, 400, 300}));
  EXPECT_EQ(window.title(), "Before 1");
  for (const auto& focused : {*e, *other}) {
    ASSERT_TRUE(SIWindow(focused).focusWindow());
    ASSERT_TRUE(waitUntil([&] { return SIWindow::focusedWindow() == SIWindow(focused); }));
  }

  const std::string title = "After";
  probe().setProperty(client.window(), "_NET_WM_NAME", probe().atom("UTF8_STRING"), 8, title.data(),
                      static_cast<std::uint32_t>(title.size()));
  ASSERT_TRUE(waitUntil([&] { return window.title() == "After"; }));
  probe().setState(client.window(), true, "_NET_WM_STATE_MAXIMIZED_VERT", "_NET_WM_STATE_MAXIMIZED_HORZ");
  ASSERT_TRUE(waitUntil([&] { return window.frame().size.width == 1920; }));
  ASSERT_TRUE(window.setFrame(CGRectMake(50, 60, 700, 500)));
  EXPECT_TRUE(frameBecomes(client.window(), {50, 60, 700, 500})) << *probe().frameRect(client.window());
}

TEST_F(X11WindowsTest, KnownStateReadsAskTheServerNothingButAMoveStillChecksTheWindowIsThere) {
  auto& client = launchClient({"--title", "Known"});
  const auto e = element(client.window());
  ASSERT_TRUE(e);
  SIWindow window(*e);
  ASSERT_TRUE(window.setFrame(CGRectMake(100, 100, 400, 300)));
  ASSERT_TRUE(frameBecomes(client.window(), {100, 100, 400, 300}));
  ASSERT_EQ(window.title(), "Known");  // read once, so the backend keeps it
  catchUp();
  // Gone before the backend has heard of it.
  probe().destroy(client.window());
  probe().sync();
  {
    const SIWindow::KnownStateReads known;
    EXPECT_EQ(window.title(), "Known") << "answered from what the events told";
    EXPECT_EQ(window.frame(), CGRectMake(100, 100, 400, 300));
    EXPECT_FALSE(window.setFrame(CGRectMake(0, 0, 200, 200))) << "the move's own check sees the window gone";
  }
  EXPECT_FALSE(window.title()) << "outside the scope a read asks whether the window is there";
}

TEST_F(X11WindowsTest, DeminiaturizingIsNotifiedAndMinimisedWindowsLeaveTheScreenList) {
  auto& client = launchClient({"--title", "Small"});
  const auto e = element(client.window());
  ASSERT_TRUE(e);
  int restored = 0;
  SIApplication(client.pid()).observeNotification(kAXWindowDeminiaturizedNotification,
                                                  AXUIElementCreateApplication(client.pid()),
                                                  [&](const AXUIElement&) { ++restored; });
  ASSERT_EQ(runCommand({"xdotool", "windowminimize", std::to_string(client.window())}), 0);
  ASSERT_TRUE(waitUntil([&] { return SIApplication(client.pid()).visibleWindows().empty(); }));
  // Let the backend's event handling see the window minimised before it is restored: a minimise and a restore
  // read in one batch look like no change at all.
  catchUp();
  const auto onScreen = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
  ASSERT_TRUE(onScreen);
  EXPECT_TRUE(std::none_of(onScreen->begin(), onScreen->end(), [&](const CGWindowInfo& i) { return i.windowNumber == client.window(); }));
  EXPECT_EQ(SIApplication(client.pid()).windows().size(), 1u);  // minimised windows are still its windows

  ASSERT_TRUE(SIWindow(*e).focusWindow());  // activating brings it back
  ASSERT_TRUE(waitUntil([&] { return restored == 1; }));
  ASSERT_TRUE(waitUntil([&] { return SIWindow::focusedWindow() == SIWindow(*e); }));
}

TEST_F(X11WindowsTest, GarbagePropertiesNeitherCrashNorLeakInvalidText) {
  auto& client = launchClient({"--garbage", "--title", "ignored"});
  const auto e = element(client.window());  // its _NET_WM_PID is malformed: the X-Resource extension names it
  ASSERT_TRUE(e);
  EXPECT_EQ(e->pid, client.pid());
  SIWindow window(*e);
  const auto title = window.title();
  ASSERT_TRUE(title);
  EXPECT_EQ(tilvane::sanitizeUtf8(*title), *title);
  EXPECT_NE(title->find("bad"), std::string::npos);
  EXPECT_EQ(window.stringForKey("AXSubrole"), "AXStandardWindow");  // none of its 262144 types is known
  const auto app = NSRunningApplication::runningApplicationWithProcessIdentifier(client.pid());
  ASSERT_TRUE(app && app->bundleIdentifier);
  EXPECT_EQ(*app->bundleIdentifier, std::string(255, 'A'));
  ASSERT_TRUE(window.setFrame(CGRectMake(10, 10, 300, 200)));
  ASSERT_TRUE(frameBecomes(client.window(), {10, 10, 300, 200}));
  EXPECT_EQ(NSScreen::screens().size(), 1u);
}

TEST_F(X11WindowsTest, AHostileDockCannotTakeAwayTheWholeScreen) {
  auto& dock = launchClient({"--dock", "4294967295,4294967295,4294967295,4294967295,0,4294967295,0,4294967295,0,4294967295,0,"
                          "4294967295"});
  ASSERT_TRUE(waitUntil([&] { return probe().clientList().size() >= 2; }));
  const auto screens = NSScreen::screens();
  ASSERT_EQ(screens.size(), 1u);
  EXPECT_GT(screens[0].visibleFrame.size.width, 0);
  EXPECT_GT(screens[0].visibleFrame.size.height, 0);

  // It settles for 30 pixels at the top: the usable area follows.
  const std::uint32_t strut[12] = {0, 0, 30, 0, 0, 0, 0, 0, 0, 1919, 0, 0};
  probe().setProperty(dock.window(), "_NET_WM_STRUT_PARTIAL", XCB_ATOM_CARDINAL, 32, strut, 12);
  EXPECT_TRUE(waitUntil([&] {
    const NSScreen s = NSScreen::screens().front();
    return s.visibleFrame.maxY() == s.frame.maxY() - 30;
  })) << NSScreen::screens().front().visibleFrame;
}

TEST_F(X11WindowsTest, LosingTheConnectionIsReportedOnce) {
  std::vector<std::string> messages;
  auto subscription = desktop().connectionLost().subscribe([&](const std::string& m) { messages.push_back(m); });
  // The connection breaks, as when the X server goes away.
  ASSERT_EQ(shutdown(desktop().connection().fileDescriptor(), SHUT_RDWR), 0);
  ASSERT_TRUE(waitUntil([&] { return !messages.empty(); }));
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_NE(messages[0].find(display()), std::string::npos) << messages[0];
  EXPECT_FALSE(desktop().isConnected());
  // Nothing breaks afterwards: every read and request still returns.
  (void)NSScreen::screens();
  (void)NSWorkspace::runningApplications();
  (void)CGWindowListCopyWindowInfo(kCGWindowListOptionAll, kCGNullWindowID);
  EXPECT_FALSE(desktop().switchToDesktop(1));
}

}  // namespace
}  // namespace tilvane::test::x11
