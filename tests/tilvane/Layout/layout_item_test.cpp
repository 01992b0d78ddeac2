#include <gtest/gtest.h>

#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "AppManager/Screens/ScreenManager.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class LayoutItemTest : public test::WindowWorld {
 protected:
  LayoutItemTest() : WindowWorld(3) { startManagers(); }
  AXUIElement window() {
    if (!pid_) pid_ = apps().addApplication({.bundleIdentifier = "org.example.Editor"});
    return apps().addWindow(pid_, {});
  }
  static void setRule(RuleLayoutType type) {
    auto rule = std::make_shared<RuleLayoutModel>();
    rule->setId("org.example.Editor");
    rule->setType(static_cast<std::int64_t>(type));
    rule->setMatrixValue(61440);  // the top row of 4 x 4
    LayoutManager::shared().rules()[rule->id()] = rule;
  }
  pid_t pid_ = 0;
};

TEST_F(LayoutItemTest, ARuleFrameWinsOverTheRecordAndWithNeitherThereIsNoFrame) {
  LayoutItem item{SIWindow(window())};
  auto bare = item.makeLayoutOperation();
  EXPECT_TRUE(std::dynamic_pointer_cast<AutoLayoutOperation>(bare));
  EXPECT_FALSE(bare->frame());

  item.setLayoutModel(storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1)));
  auto remembered = item.makeLayoutOperation();
  EXPECT_TRUE(std::dynamic_pointer_cast<AutoLayoutOperation>(remembered));
  EXPECT_EQ(remembered->frame(), CGRectMake(720, 23, 720, 877));

  setRule(RuleLayoutType::fix);
  auto ruled = item.makeLayoutOperation();
  EXPECT_TRUE(std::dynamic_pointer_cast<RuleLayoutOperation>(ruled));
  EXPECT_EQ(ruled->frame(), CGRectMake(0, 23, 1440, 877.0 / 4));
}

TEST_F(LayoutItemTest, SavedFrameOfAnUnknownDisplayFallsBackToTheFirstDisplaysWholeFrame) {
  LayoutItem item{SIWindow(window())};
  EXPECT_FALSE(item.savedFrame());
  auto record = storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  store::Database::open()->write([&] { record->setScreenIndex(5); });
  item.setLayoutModel(record);
  EXPECT_EQ(item.savedFrame(), CGRectMake(720, 0, 720, 900));
}

TEST_F(LayoutItemTest, UpdateModelPositionFillsOnlyWhatIsUnknown) {
  sim().switchToSpace(sim().spaceUuids()[1]);
  ScreenManager::shared().reloadScreens();
  LayoutItem item{SIWindow(window())};
  auto record = storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 1, 1));
  store::Database::open()->write([&] {
    record->setScreenIndex(-1);
    record->setSpaceIndex(2);
  });
  item.setLayoutModel(record);
  item.updateModelPosition();
  EXPECT_EQ(record->screenIndex(), 0);
  EXPECT_EQ(record->spaceIndex(), 2);

  store::Database::open()->write([&] { record->setSpaceIndex(-1); });
  item.updateModelPosition();
  EXPECT_EQ(record->spaceIndex(), 1);

  // A deleted record is left alone.
  const auto database = store::Database::open();
  database->write([&] { database->remove(record); });
  item.updateModelPosition();
  EXPECT_TRUE(record->isInvalidated());
}

TEST_F(LayoutItemTest, AClosedWindowsIndexGoesToTheNextNewWindow) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 1));
  const AXUIElement first = admitWindow({});
  const AXUIElement second = admitWindow({});
  EXPECT_EQ(itemOf(first)->layoutModel()->windowIndex(), 0);
  EXPECT_EQ(itemOf(second)->layoutModel()->windowIndex(), 1);

  apps().closeWindow(first);
  drain();
  const AXUIElement third = admitWindow({});
  drain();
  EXPECT_EQ(itemOf(third)->layoutModel()->id(), "org.example.Editor-0-1");
  EXPECT_EQ(frameOf(third), CGRectMake(720, 23, 720, 877));
}

TEST_F(LayoutItemTest, AnIndexIsFreedAsSoonAsItsWindowStopsBeingManaged) {
  const AXUIElement first = admitWindow({});
  drain();
  // A recorded move keeps the item alive until the next write; the index must not wait for it.
  apps().userMoveWindow(first, CGRectMake(0, 23, 300, 300));
  advance(2.5);
  apps().userMoveWindow(first, CGRectMake(0, 23, 400, 300));
  drain();
  ASSERT_FALSE(LayoutManager::shared().updateQueue().empty());
  apps().closeWindow(first);
  drain();
  const AXUIElement next = admitWindow({});
  EXPECT_EQ(itemOf(next)->layoutModel()->windowIndex(), 0);
}

}  // namespace
}  // namespace tilvane
