#include <gtest/gtest.h>

#include "AppManager/Screens/ScreenManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class SnapshotTest : public test::WindowWorld {
 protected:
  SnapshotTest() : WindowWorld(4) { startManagers(); }
};

CGRect fractionsOf(const WorkspaceLayoutItemModel& item) {
  return CGRectMake(item.x(), item.y(), item.width(), item.height());
}

TEST_F(SnapshotTest, OneItemPerWindowWithARecordInAdmissionOrder) {
  storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0.5, 0, 0.5, 0.5));
  admitWindow({.frame = CGRectMake(10, 10, 300, 200)});
  const AXUIElement other = admitWindow({.frame = CGRectMake(20, 20, 300, 200)}, "org.example.Other");
  const AXUIElement second = admitWindow({.frame = CGRectMake(30, 30, 300, 200)});
  drain();
  itemOf(other)->setLayoutModel(nullptr);  // a window without a remembered placement
  const auto record = itemOf(second)->layoutModel();

  const auto items = LayoutManager::shared().snapshotWorkspace();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->bundleIdentifier(), "org.example.Editor");
  EXPECT_EQ(fractionsOf(*items[0]), CGRectMake(0, 0, 0.5, 1));
  EXPECT_EQ(fractionsOf(*items[1]), CGRectMake(0.5, 0, 0.5, 0.5));
  EXPECT_EQ(items[1]->screenIndex(), record->screenIndex());
  EXPECT_EQ(items[1]->spaceIndex(), record->spaceIndex());
  EXPECT_EQ(items[0]->devicesIdentifier(), ScreenManager::shared().makeDisplayIdentifier());
  EXPECT_EQ(items[0]->screenCount(), 1);
  EXPECT_EQ(items[0]->spaceCount(), 4);
  EXPECT_NE(items[0]->id(), items[1]->id());

  // With the display gone (before the change is handled) the display count is still one.
  ASSERT_TRUE(sim().disconnectDisplay(sim().displayUuids().front()));
  EXPECT_EQ(LayoutManager::shared().snapshotWorkspace().at(0)->screenCount(), 1);
}

// Two 1000 × 800 displays side by side, two desktops each (0, 1 on the left; 2, 3 on the right when separate).
class ItemFrameTest : public test::WorldTest {
 protected:
  void start(sim::SpacesMode mode) {
    sim_ = std::make_unique<sim::SimDesktop>(mode, 2);
    sim_->addDisplay({.frame = CGRectMake(0, 0, 1000, 800), .spaceCount = 2});
    sim_->addDisplay({.frame = CGRectMake(1000, 0, 1000, 800), .spaceCount = 2});
    scope_ = std::make_unique<Desktop::Scope>(*sim_);
    ScreenManager::shared().reloadScreens();
  }
  ~ItemFrameTest() override {
    SharedInstances::resetAll();
    scope_.reset();
  }
  static WorkspaceLayoutItemModelPtr item(std::int64_t space, std::int64_t screen) {
    auto item = std::make_shared<WorkspaceLayoutItemModel>();
    item->setSpaceIndex(space);
    item->setScreenIndex(screen);
    item->setWidth(0.5);
    item->setHeight(1);
    item->setBundleIdentifier("org.example.Editor");
    item->setAppPath("/opt/editor");
    item->setFilePath("notes.txt");
    return item;
  }

  std::unique_ptr<sim::SimDesktop> sim_;
  std::unique_ptr<Desktop::Scope> scope_;
};

TEST_F(ItemFrameTest, SharedDesktopsTakeTheDisplayAtTheItemsIndex) {
  start(sim::SpacesMode::shared);
  const auto operation = LayoutManager::shared().makeWorkspaceItemOperation(*item(1, 1));
  EXPECT_EQ(operation->frame(), CGRectMake(1000, 0, 500, 800));
  EXPECT_EQ(operation->space(), 1);
  EXPECT_EQ(operation->file(), "notes.txt");
}

TEST_F(ItemFrameTest, SeparateDesktopsTakeTheDisplayHoldingTheItemsDesktop) {
  start(sim::SpacesMode::separate);
  EXPECT_EQ(LayoutManager::shared().makeWorkspaceItemOperation(*item(3, 0))->frame(),
            CGRectMake(1000, 0, 500, 800));
  EXPECT_EQ(LayoutManager::shared().makeWorkspaceItemOperation(*item(1, 1))->frame(), CGRectMake(0, 0, 500, 800));
}

}  // namespace
}  // namespace tilvane
