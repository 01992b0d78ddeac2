#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutItem.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "platform/store/Database.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class LayoutItemTest : public test::WindowWorld {
 protected:
  LayoutItemTest() : WindowWorld(3) { startManagers(); }
  /// A window of the editor that is not admitted.
  SIWindow window() {
    return SIWindow(apps().addWindow(apps().addApplication({.bundleIdentifier = "org.example.Editor"}), {}));
  }
  static void write(const std::function<void()>& change) { store::Database::open()->write(change); }
};

TEST_F(LayoutItemTest, SavedFrameOfAnUnknownDisplayFallsBackToTheFirstDisplaysWholeFrame) {
  LayoutItem item{window()};
  const auto record = storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  EXPECT_FALSE(item.savedFrame());
  write([&] { record->setScreenIndex(5); });
  item.setLayoutModel(record);
  EXPECT_EQ(item.savedFrame(), CGRectMake(720, 0, 720, 900));
}

TEST_F(LayoutItemTest, UpdateModelPositionFillsOnlyWhatIsUnknown) {
  sim().switchToSpace(sim().spaceUuids()[1]);
  ScreenManager::shared().reloadScreens();
  LayoutItem item{window()};
  const auto record = storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 1, 1));
  write([&] {
    record->setScreenIndex(-1);
    record->setSpaceIndex(2);
  });
  item.setLayoutModel(record);
  item.updateModelPosition();
  EXPECT_EQ(record->screenIndex(), 0);
  EXPECT_EQ(record->spaceIndex(), 2);
  write([&] { record->setSpaceIndex(-1); });
  item.updateModelPosition();
  EXPECT_EQ(record->spaceIndex(), 1);
  // A deleted record is left alone.
  write([&] { store::Database::open()->remove(record); });
  item.updateModelPosition();
  EXPECT_TRUE(record->isInvalidated());
}

TEST_F(LayoutItemTest, AClosedWindowsIndexGoesToTheNextNewWindowAtOnce) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 1));
  const AXUIElement first = admitWindow({});
  const AXUIElement second = admitWindow({});
  EXPECT_EQ(itemOf(first)->layoutModel()->windowIndex(), 0);
  EXPECT_EQ(itemOf(second)->layoutModel()->windowIndex(), 1);
  // A recorded move keeps the item alive until the next write; the index must not wait for it.
  advance(2.5);
  apps().userMoveWindow(first, CGRectMake(0, 23, 400, 300));
  drain();
  ASSERT_FALSE(LayoutManager::shared().updateQueue().empty());
  apps().closeWindow(first);
  drain();
  const AXUIElement third = admitWindow({});
  drain();
  EXPECT_EQ(itemOf(third)->layoutModel()->id(), "org.example.Editor-0-1");
  EXPECT_EQ(frameOf(third), CGRectMake(720, 23, 720, 877));
}

}  // namespace
}  // namespace tilvane
