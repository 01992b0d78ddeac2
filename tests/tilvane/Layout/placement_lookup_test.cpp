#include <gtest/gtest.h>

#include <thread>

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
  /// A window of `bundle` a quarter of the display wide at its left edge.
  SIWindow window(const std::string& bundle = "org.example.Editor", CGRect frame = CGRectMake(0, 23, 360, 877)) {
    const pid_t pid = apps().addApplication({.bundleIdentifier = bundle, .windows = {{.frame = frame}}});
    return SIWindow(apps().windowsOf(pid).front());
  }
  StoreService& store() { return StoreService::shared(); }
};

TEST_F(PlacementLookupTest, TheSameWindowGetsItsLaterRecordUnderItsOwnIndexWhileThatIsFree) {
  const SIWindow w = window();
  WindowIndexRegistry::current()->claim("org.example.Editor", 0);  // another window holds 0
  storeRecord("org.example.Editor", 4, CGRectMake(0, 0, 0.5, 1), 1, w.windowID());
  const auto later = storeRecord("org.example.Editor", 5, CGRectMake(0.5, 0, 0.5, 1), 1, w.windowID());
  const auto found = store().autoLayoutModelForWindow(w);
  EXPECT_EQ(found, later);
  EXPECT_EQ(found->windowIndex(), 5);
  // Held by another window meanwhile: it takes the lowest free index, and keeps its id.
  WindowIndexRegistry::current()->claim("org.example.Editor", 5);
  EXPECT_EQ(store().autoLayoutModelForWindow(w)->windowIndex(), 1);
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

TEST_F(PlacementLookupTest, ANewSlotTakesASiblingsFractionsElseTheWindowsOwn) {
  using Record = std::tuple<std::int64_t, CGRect, std::int64_t>;  // index, fractions, display count
  struct Case {
    std::string bundle;
    std::vector<Record> records;
    std::set<int> firstRunSpaces;
    CGRect fractions;
  };
  const CGRect own = CGRectMake(0, 0, 0.25, 1);
  const Case cases[] = {
      // The first sibling with the same display count.
      {"org.example.A", {{0, CGRectMake(0.1, 0.1, 0.2, 0.5), 1}, {3, CGRectMake(0.75, 0, 0.25, 1), 1}}, {},
       CGRectMake(0.1, 0.1, 0.2, 0.5)},
      // Else the first record of the application.
      {"org.example.B", {{0, CGRectMake(0.1, 0.2, 0.3, 0.4), 2}, {2, CGRectMake(0.5, 0.5, 0.5, 0.5), 2}}, {},
       CGRectMake(0.1, 0.2, 0.3, 0.4)},
      {"org.example.C", {}, {}, own},
      // On a desktop not seen since the first run the window keeps its own frame.
      {"org.example.D", {{0, CGRectMake(0.5, 0, 0.5, 1), 1}}, {0, 1}, own},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.bundle);
    WindowIndexRegistry::current()->claim(c.bundle, 0);  // another window holds 0
    for (const auto& [index, fractions, displays] : c.records) storeRecord(c.bundle, index, fractions, displays);
    store().setFirstRunSpaces(c.firstRunSpaces);
    const auto made = store().autoLayoutModelForWindow(window(c.bundle));
    ASSERT_TRUE(made);
    EXPECT_FALSE(made->isManaged());
    EXPECT_EQ(made->id(), c.bundle + "-1-1");
    EXPECT_EQ(fractionsOf(*made), c.fractions);
  }
  advance(3.0);
  EXPECT_EQ(store().firstRunSpaces(), std::set<int>{1}) << "the lookup has the shown desktop 0 reconciled";
}

// The lookup answers from what it read of the application once; each case changes the store after that read
// and checks the next answer follows.
TEST_F(PlacementLookupTest, AnswersFollowTheStoreAfterTheFirstRead) {
  const std::string bundle = "org.example.Editor";
  const SIWindow first = window(bundle, CGRectMake(0, 23, 720, 877));  // the left half
  const auto made = store().autoLayoutModelForWindow(first);
  ASSERT_TRUE(made);
  store().updateLayout(made);
  ASSERT_TRUE(made->isManaged());

  // A record the service stored is a sibling at once: the next window inherits its half.
  WindowIndexRegistry::current()->claim(bundle, 0);
  const SIWindow second = window(bundle);
  const auto inherited = store().autoLayoutModelForWindow(second);
  ASSERT_TRUE(inherited);
  EXPECT_EQ(fractionsOf(*inherited), CGRectMake(0, 0, 0.5, 1));

  // A record stored by another connection (another thread's instance) is found as the window's own.
  std::thread([&] {
    const auto database = store::Database::open();
    auto record = std::make_shared<AutoLayoutModel>();
    record->setBundleIdentifier(bundle);
    record->setWindowID(second.windowID());
    record->setWindowIndex(6);
    record->setScreenCount(1);
    record->setX(0.75), record->setY(0), record->setWidth(0.25), record->setHeight(1);
    record->makeId();
    database->write([&] { database->add(record); });
  }).join();
  const auto own = store().autoLayoutModelForWindow(second);
  ASSERT_TRUE(own);
  EXPECT_EQ(own->id(), bundle + "-6-1");

  // A deleted record is nobody's sibling any more.
  const auto database = store::Database::open();
  database->write([&] { database->remove(std::vector<AutoLayoutModelPtr>{made, own}); });
  const auto alone = store().autoLayoutModelForWindow(window(bundle));
  ASSERT_TRUE(alone);
  EXPECT_EQ(fractionsOf(*alone), CGRectMake(0, 0, 0.25, 1)) << "its own quarter, nothing inherited";
}

// A window without a record of its own takes the record of the lowest free index, and it becomes its own; a
// record whose window is still open (not admitted yet, at a start) is left for it.
TEST_F(PlacementLookupTest, ANewWindowTakesTheFreeRecordOfTheLowestFreeIndexNotAnOpenWindows) {
  const std::string bundle = "org.example.Editor";
  const SIWindow owner = window(bundle);
  const auto owners = storeRecord(bundle, 0, CGRectMake(0.5, 0, 0.5, 1), 1, owner.windowID());
  const auto closed = storeRecord(bundle, 1, CGRectMake(0, 0, 0.5, 1), 1, 999);
  const SIWindow fresh = window(bundle);
  const auto found = store().autoLayoutModelForWindow(fresh);
  EXPECT_EQ(found, closed);
  EXPECT_EQ(found->windowID(), fresh.windowID()) << "found by its window's number next time";
  WindowIndexRegistry::current()->claim(bundle, 1);
  EXPECT_EQ(store().autoLayoutModelForWindow(owner), owners);
}

TEST_F(PlacementLookupTest, WindowsWithoutIdentityOrDisplayGetNoRecord) {
  EXPECT_FALSE(store().autoLayoutModelForWindow(SIWindow(AXUIElement{AXUIElement::Role::window, 77, 1})));
  const pid_t anonymous = apps().addApplication({.windows = {{}}});
  EXPECT_FALSE(store().autoLayoutModelForWindow(SIWindow(apps().windowsOf(anonymous).front())));
  const SIWindow offscreen = window("org.example.Editor", CGRectMake(5000, 5000, 100, 100));
  EXPECT_FALSE(store().autoLayoutModelForWindow(offscreen));
  EXPECT_EQ(store().windowRecordId(offscreen), "org.example.Editor-0-1");
}

}  // namespace
}  // namespace tilvane
