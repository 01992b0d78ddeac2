#include <gtest/gtest.h>

#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/WindowActions/MoveWindow.h"
#include "Layout/LayoutItem.h"
#include "Models/AutoLayoutModel.h"
#include "platform/defaults/UserDefaults.h"
#include "tilvane/AppManager/WindowActions/DesktopsWorld.h"

namespace tilvane {
namespace {

// One display with four shared desktops.
class SharedDesktopsMoveTest : public test::WindowWorld {
 protected:
  SharedDesktopsMoveTest() : WindowWorld(4) { startManagers(); }
};

TEST_F(SharedDesktopsMoveTest, OnlyTheDesktopChangesAndANegativeOneDoesNothing) {
  const AXUIElement w = settledWindow();
  const CGRect before = frameOf(w);
  apps().clearRequests();
  moveWindow(-1, SIWindow(w));
  EXPECT_TRUE(isShown(w));
  moveWindow(2, SIWindow(w));
  EXPECT_EQ(frameOf(w), before);
  EXPECT_TRUE(apps().requests().empty());
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 2));
}

// Desktops 0–2 on the left display, 3–4 on the right one.
class SeparateDesktopsMoveTest : public test::DesktopsWorld {};

TEST_F(SeparateDesktopsMoveTest, ADesktopOfTheWindowsOwnDisplayOnlySwitches) {
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0, 0, 0.5, 1));
  const CGRect before = frameOf(w);
  moveWindow(1, SIWindow(w));
  EXPECT_EQ(frameOf(w), before);
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 1));
}

TEST_F(SeparateDesktopsMoveTest, ADesktopOfAnotherDisplayCarriesTheWindowThereFirst) {
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0.25, 0, 0.5, 1));
  ASSERT_EQ(frameOf(w), CGRectMake(360, 23, 720, 877));

  moveWindow(4, SIWindow(w));
  // The right display's visible frame is (1440, 100, 1280, 800) in window coordinates.
  EXPECT_EQ(frameOf(w), CGRectMake(1760, 100, 640, 800));
  EXPECT_FALSE(isShown(w));
  EXPECT_TRUE(shownOn(w, 4));
  const auto& model = *itemOf(w)->layoutModel();
  EXPECT_EQ(test::fractionsOf(model), CGRectMake(0.25, 0, 0.5, 1));
  EXPECT_EQ(model.screenIndex(), 1);
}

TEST_F(SeparateDesktopsMoveTest, WithGapsTheCarriedWindowKeepsItsMargin) {
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0.25, 0, 0.5, 1));
  moveWindow(3, SIWindow(w));
  EXPECT_EQ(frameOf(w), CGRectMake(1768, 108, 624, 784));
}

TEST_F(SeparateDesktopsMoveTest, ACarriedWindowThatCannotShrinkIsPulledBackInside) {
  const AXUIElement w = managedWindow(CGRectMake(100, 100, 800, 600), CGRectMake(0.5, 0, 0.5, 1), {800, 300});
  moveWindow(3, SIWindow(w));
  // Asked for x = 2080 and 640 wide, it stays 800 wide and ends at the display's right edge.
  EXPECT_EQ(frameOf(w), CGRectMake(2720 - 800, 100, 800, 800));
}

TEST_F(SeparateDesktopsMoveTest, AWindowWithoutRememberedPlacementStaysWhereItIs) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Other"});
  const AXUIElement w = apps().addWindow(pid, {.frame = CGRectMake(100, 100, 800, 600)});
  moveWindow(4, SIWindow(w));
  EXPECT_EQ(frameOf(w), CGRectMake(100, 100, 800, 600));
  EXPECT_TRUE(isShown(w));
}

}  // namespace
}  // namespace tilvane
