#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Screens/ScreenManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "WorkspaceLayout/Restore/ItemApplication.h"
#include "platform/base/XdgPaths.h"
#include "platform/l10n/Localization.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "WorkspaceLayout/Restore/WorkspaceItemLayoutOperation.h"
#include "platform/desktop/sim/SimDesktop.h"
#include "support/windows/WindowWorld.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

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
  EXPECT_EQ(items[0]->spaceCount(), 4);
  EXPECT_NE(items[0]->id(), items[1]->id());

  // With the display gone (before the change is handled) the display count is still one.
  ASSERT_TRUE(sim().disconnectDisplay(sim().displayUuids().front()));
  EXPECT_EQ(LayoutManager::shared().snapshotWorkspace().at(0)->screenCount(), 1);
}

TEST_F(SnapshotTest, ItemsNameTheirApplicationByItsIdentifierAloneAndAreNamedFromWhatItFinds) {
  namespace fs = std::filesystem;
  const fs::path entry = xdg::dataHome() / "applications" / "org.example.Editor.desktop";
  fs::create_directories(entry.parent_path());
  std::ofstream(entry) << "[Desktop Entry]\nType=Application\nName=Editor\nExec=editor\n";
  AppManager::shared().loadApps();
  // A program without a desktop entry (a Tk script's interpreter, say): only its process knows it.
  const fs::path program = tempDir() / "bin" / "wish8.6";
  fs::create_directories(program.parent_path());
  std::ofstream(program) << "#!/bin/sh\n";
  ::chmod(program.c_str(), 0755);
  storeRecord("org.example.Editor", 0, CGRectMake(0, 0, 0.5, 1));
  storeRecord("Wish", 0, CGRectMake(0.5, 0, 0.5, 1));
  admitWindow({.frame = CGRectMake(10, 10, 300, 200)});
  const pid_t wish = apps().addApplication({.bundleIdentifier = "Wish", .executable = program.string()});
  ApplicationManager::shared().addApplication(SIApplication(wish));
  WindowManager::shared().addWindow(SIWindow(apps().addWindow(wish, {.frame = CGRectMake(20, 20, 300, 200)})));
  drain();

  const auto items = LayoutManager::shared().snapshotWorkspace();
  ASSERT_EQ(items.size(), 2u);
  // No path: a restore launches by identifier, which brings a running application forward.
  EXPECT_EQ(items[0]->appPath(), "");
  EXPECT_EQ(items[1]->appPath(), "");
  const ItemApplication editor = describeItemApplication(*items[0]);
  EXPECT_EQ(editor.name, "Editor");
  EXPECT_TRUE(editor.found);
  const ItemApplication interpreter = describeItemApplication(*items[1]);
  EXPECT_EQ(interpreter.name, "wish8.6");
  EXPECT_TRUE(interpreter.found);
  EXPECT_EQ(itemRowText(interpreter), "wish8.6");

  // Uninstalled, each row says so; a program that no longer runs is known by its identifier only.
  fs::remove(program);
  fs::remove(entry);
  AppManager::shared().loadApps();
  apps().quitApplication(wish);
  const ItemApplication gone = describeItemApplication(*items[1]);
  EXPECT_FALSE(gone.found);
  EXPECT_EQ(itemRowText(gone), "Wish " + NSLocalizedString("ApplicationNotFound"));
  EXPECT_FALSE(describeItemApplication(*items[0]).found);
  // An item saved with the program's path is still named from it.
  WorkspaceLayoutItemModel saved;
  saved.setBundleIdentifier("Wish");
  saved.setAppPath(program.string());
  EXPECT_EQ(itemRowText(describeItemApplication(saved)), "wish8.6 " + NSLocalizedString("ApplicationNotFound"));
  WorkspaceLayoutItemModel nothing;
  EXPECT_EQ(itemRowText(describeItemApplication(nothing)),
            NSLocalizedString("UnnamedApplication") + " " + NSLocalizedString("ApplicationNotFound"));
}

// Two displays side by side with desktops of their own, 0 and 1 on the left, 2 and 3 on the right.
class SeparateDesktopsSnapshotTest : public test::WindowWorld {
 protected:
  SeparateDesktopsSnapshotTest() : WindowWorld(2, sim::SpacesMode::separate) {
    left_ = sim().displayUuids().front();
    right_ = sim().addDisplay({.frame = CGRectMake(1440, 0, 1440, 900), .spaceCount = 2});
    startManagers();
  }
  void show(const std::string& display, std::size_t desktop) {
    ASSERT_TRUE(sim().switchToSpace(sim().spaceUuids(display).at(desktop)));
    advance(0.1);
  }
  std::string left_, right_;
};

TEST_F(SeparateDesktopsSnapshotTest, EachItemKeepsTheDisplayAndTheDesktopItsWindowOpenedOn) {
  // New windows without a remembered placement: each gets a record of where it opened.
  show(right_, 1);
  show(left_, 1);
  admitWindow({.frame = CGRectMake(1800, 225, 720, 450)});  // the right display, desktop 3
  admitWindow({.frame = CGRectMake(100, 100, 800, 600)});   // the left one, desktop 1
  advance(3.0);
  show(left_, 0);
  admitWindow({.frame = CGRectMake(100, 100, 800, 600)}, "org.example.Mail");  // the left one, desktop 0
  advance(3.0);

  const auto items = LayoutManager::shared().snapshotWorkspace();
  ASSERT_EQ(items.size(), 3u);
  using Place = std::pair<std::int64_t, std::int64_t>;  // (display, desktop)
  std::vector<Place> places;
  for (const auto& item : items) {
    places.emplace_back(item->screenIndex(), item->spaceIndex());
    EXPECT_EQ(item->screenCount(), 2);
    EXPECT_EQ(item->spaceCount(), 4);
  }
  EXPECT_EQ(places, (std::vector<Place>{{1, 3}, {0, 1}, {0, 0}}));
  EXPECT_EQ(fractionsOf(*items[0]), CGRectMake(0.25, 0.25, 0.5, 0.5));
  EXPECT_EQ(items[2]->bundleIdentifier(), "org.example.Mail");
}

// Two displays side by side, 1440 × 900 (visible frame (0, 0, 1440, 877)) and 1440 × 900 on its right, two
// desktops each when separate (0, 1 on the left; 2, 3 on the right).
class ItemFrameTest : public test::WindowWorld, public ::testing::WithParamInterface<sim::SpacesMode> {
 protected:
  ItemFrameTest() : WindowWorld(2, GetParam()) {
    sim().addDisplay({.frame = CGRectMake(1440, 0, 1440, 900), .spaceCount = 2});
    ScreenManager::shared().reloadScreens();
  }
  static std::shared_ptr<WorkspaceItemLayoutOperation> operation(std::int64_t space, std::int64_t screen) {
    auto item = test::workspaceItem("org.example.Editor", space, CGRectMake(0, 0, 0.5, 1), "/opt/editor", "notes.txt");
    item->setScreenIndex(screen);
    return LayoutManager::shared().makeWorkspaceItemOperation(*item);
  }
};

TEST_P(ItemFrameTest, SharedDesktopsTakeTheDisplayAtTheItemsIndexSeparateOnesTheDisplayHoldingItsDesktop) {
  const bool shared = GetParam() == sim::SpacesMode::shared;
  const CGRect left = CGRectMake(0, 23, 720, 877);
  const CGRect right = CGRectMake(1440, 0, 720, 900);
  EXPECT_EQ(operation(1, 1)->frame(), shared ? right : left);
  EXPECT_EQ(operation(3, 0)->frame(), shared ? left : right);
  EXPECT_EQ(operation(3, 0)->space(), 3);
  EXPECT_EQ(operation(3, 0)->file(), "notes.txt");
}

INSTANTIATE_TEST_SUITE_P(Modes, ItemFrameTest, ::testing::Values(sim::SpacesMode::shared, sim::SpacesMode::separate),
                         [](const auto& info) { return info.param == sim::SpacesMode::shared ? "Shared" : "Separate"; });

}  // namespace
}  // namespace tilvane
