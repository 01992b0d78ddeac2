// A snapshot started from the workspace list walks the desktops, then takes the user back to the desktop they
// started it from before the program is activated there, with the new workspace selected.
#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "WorkspaceLayout/Editor/WorkspaceViewController.h"
#include "WorkspaceLayout/Restore/DesktopReturn.h"
#include "platform/desktop/NSApplication.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class SnapshotReturnTest : public test::WindowWorld {
 protected:
  SnapshotReturnTest() : WindowWorld(4) { startManagers(); }
};

TEST_F(SnapshotReturnTest, TheUserEndsOnTheDesktopTheyStartedFromWithTheProgramActiveThere) {
  ASSERT_TRUE(sim().switchToSpaceAtPosition(2));
  drain();
  ASSERT_EQ(shownDesktop(), 1);
  NSApplication::makeKeyAndOrderFront(42);  // the advanced window, where the user taps the button
  std::vector<int> activatedOn;
  sim().program().onActivation([&] { activatedOn.push_back(shownDesktop()); });

  WorkspaceViewController list;
  list.view();
  list.takeSnapshot();
  advance(10.0);
  drain();

  EXPECT_FALSE(list.snapshotRunning());
  EXPECT_EQ(shownDesktop(), 1) << "back where the snapshot started";
  EXPECT_EQ(activatedOn, std::vector<int>{1}) << "activated once, after the return";
  EXPECT_EQ(sim().program().keyWindow(), 42u);
  ASSERT_EQ(list.numberOfRows(), 1u);
  EXPECT_EQ(list.selectedRow(), 0) << "the new workspace is selected";
  EXPECT_EQ(ScreenManager::shared().spacesToVisit(), std::vector<int>{}) << "every desktop was walked";
}

TEST_F(SnapshotReturnTest, ADesktopThatNeverShowsHoldsTheReturnForTwoSecondsOnly) {
  bool done = false;
  returnToDesktop(9, [&] { done = true; });  // no such desktop: nothing switches
  advance(1.9);
  EXPECT_FALSE(done);
  advance(0.2);
  EXPECT_TRUE(done);

  done = false;
  returnToDesktop(shownDesktop(), [&] { done = true; });
  EXPECT_TRUE(done) << "nothing to wait for on the desktop shown";
}

}  // namespace
}  // namespace tilvane
