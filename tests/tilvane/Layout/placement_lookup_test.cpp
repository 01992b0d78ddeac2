#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Store/StoreService.h"
#include "Layout/WindowIndex/WindowIndexRegistry.h"
#include "Models/AutoLayoutModel.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

using test::fractionsOf;

// The lookup on its own: the layout manager is not involved, so nothing is claimed or stored by it.
class PlacementLookupTest : public test::WindowWorld {
 protected:
  PlacementLookupTest() : WindowWorld(2) { ScreenManager::shared().reloadScreens(); }
  SIWindow window(const std::string& bundle = "org.example.Editor", CGRect frame = CGRectMake(0, 23, 360, 877)) {
    const pid_t pid = apps().addApplication({.bundleIdentifier = bundle, .windows = {{.frame = frame}}});
    return SIWindow(apps().windowsOf(pid).front());
  }
  StoreService& store() { return StoreService::shared(); }
};

TEST_F(PlacementLookupTest, TheSameWindowGetsItsLaterRecordWithTheCurrentIndex) {
  const SIWindow w = window();
  WindowIndexRegistry::current()->claim("org.example.Editor", 0);  // another window holds 0
  storeRecord("org.example.Editor", 4, CGRectMake(0, 0, 0.5, 1), 1, w.windowID());
  const auto later = storeRecord("org.example.Editor", 5, CGRectMake(0.5, 0, 0.5, 1), 1, w.windowID());
  const auto found = store().autoLayoutModelForWindow(w);
  EXPECT_EQ(found, later);
  EXPECT_EQ(found->windowIndex(), 1);
  EXPECT_EQ(found->id(), "org.example.Editor-5-1") << "the id is never rewritten";
}

TEST_F(PlacementLookupTest, TheSameSlotKeepsItsFractionsAndOnlyTakesTheIndex) {
  const auto slot = storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  store::Database::open()->write([&] { slot->setWindowIndex(7); });
  const auto found = store().autoLayoutModelForWindow(window());
  EXPECT_EQ(found, slot);
  EXPECT_EQ(found->windowIndex(), 0);
  EXPECT_EQ(fractionsOf(*found), CGRectMake(0.5, 0, 0.5, 1));
}

TEST_F(PlacementLookupTest, ANewWindowInheritsASiblingsFractionsButKeepsItsOwnPlace) {
  WindowIndexRegistry::current()->claim("org.example.Editor", 0);
  storeRecord("org.example.Editor", 0, CGRectMake(0.1, 0.1, 0.2, 0.5));
  storeRecord("org.example.Editor", 3, CGRectMake(0.75, 0, 0.25, 1));
  const auto made = store().autoLayoutModelForWindow(window());
  ASSERT_TRUE(made);
  EXPECT_FALSE(made->isManaged());
  EXPECT_EQ(made->id(), "org.example.Editor-1-1");
  EXPECT_EQ(fractionsOf(*made), CGRectMake(0.1, 0.1, 0.2, 0.5)) << "the first sibling with the same display count";
  EXPECT_EQ(made->spaceCount(), 2);
}

TEST_F(PlacementLookupTest, SiblingsOfAnotherDisplayCountLendTheFirstRecordsFractions) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.1, 0.2, 0.3, 0.4), 2);
  storeRecord("org.example.Editor", 1, CGRectMake(0.5, 0.5, 0.5, 0.5), 2);
  const auto made = store().autoLayoutModelForWindow(window());
  ASSERT_TRUE(made);
  EXPECT_EQ(made->screenCount(), 1);
  EXPECT_EQ(fractionsOf(*made), CGRectMake(0.1, 0.2, 0.3, 0.4));
}

TEST_F(PlacementLookupTest, AnApplicationWithoutRecordsGetsItsOwnFractions) {
  const auto made = store().autoLayoutModelForWindow(window());
  ASSERT_TRUE(made);
  EXPECT_EQ(fractionsOf(*made), CGRectMake(0, 0, 0.25, 1));
  EXPECT_EQ(made->id(), "org.example.Editor-0-1");
}

TEST_F(PlacementLookupTest, OnAFirstRunDesktopAWindowKeepsItsOwnFrameUntilTheDesktopWasSeen) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  WindowIndexRegistry::current()->claim("org.example.Editor", 0);
  store().setFirstRunSpaces({0, 1});
  const auto made = store().autoLayoutModelForWindow(window());
  EXPECT_EQ(fractionsOf(*made), CGRectMake(0, 0, 0.25, 1));
  advance(2.9);
  EXPECT_EQ(store().firstRunSpaces(), (std::set<int>{0, 1}));
  advance(0.1);
  EXPECT_EQ(store().firstRunSpaces(), std::set<int>{1}) << "desktop 0 is shown";
}

TEST_F(PlacementLookupTest, WindowsWithoutIdentityOrDisplayGetNoRecord) {
  EXPECT_FALSE(store().autoLayoutModelForWindow(SIWindow(AXUIElement{AXUIElement::Role::window, 77, 1})));
  const pid_t anonymous = apps().addApplication({.windows = {{}}});
  EXPECT_FALSE(store().autoLayoutModelForWindow(SIWindow(apps().windowsOf(anonymous).front())));
  const SIWindow offscreen = window("org.example.Editor", CGRectMake(5000, 5000, 100, 100));
  EXPECT_FALSE(store().autoLayoutModelForWindow(offscreen));
  EXPECT_EQ(store().windowRecordId(offscreen), "org.example.Editor-0-1");
}

TEST_F(PlacementLookupTest, IdentifiersAreValuesNotQueryText) {
  storeRecord("org.example.O'Neil", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("x' OR '1'='1", 0, CGRectMake(0.1, 0, 0.1, 1));
  const auto found = store().autoLayoutModelForWindow(window("org.example.O'Neil"));
  ASSERT_TRUE(found);
  EXPECT_EQ(found->bundleIdentifier(), "org.example.O'Neil");
  const auto other = store().autoLayoutModelForWindow(window("x' OR 'a'='a"));
  EXPECT_FALSE(other->isManaged());
}

}  // namespace
}  // namespace tilvane
