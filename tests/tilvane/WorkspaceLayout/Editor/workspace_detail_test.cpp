// The workspace editor on a simulated desktop of four desktops: the grid to fractions, the popups' counts, new
// items, each keystroke of the name, application changes, item removal, and failed writes.
#include <gtest/gtest.h>

#include "AppManager/Catalogue/AppManager.h"
#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "AppManager/Screens/ScreenManager.h"
#include "WorkspaceLayout/Editor/WorkspaceDetailViewController.h"
#include "WorkspacePaneFixture.h"
#include "platform/defaults/UserDefaults.h"
#include "platform/desktop/NSScreen.h"
#include "platform/apps/FakeBundles.h"
#include "platform/l10n/Localization.h"

namespace tilvane::test {
namespace {

class WorkspaceDetailTest : public WorkspacePaneTest {
 protected:
  WorkspaceDetailTest() : WorkspacePaneTest(4) {
    startManagers();
    editor.view();
    group = storedWorkspace("Work");
    WorkspaceBridge::selectedWorkspace().onNext(group);
  }
  std::string app(const std::string& name, const std::string& id) {
    const auto file = tempDir() / (name + ".desktop");
    writeText(file, "[Desktop Entry]\nType=Application\nName=" + name + "\nExec=true\nX-Id=" + id + "\n");
    return file.string();
  }
  /// Adds an item for the application at `path` through the application chooser.
  void addItem(const std::string& path) {
    dialogs.applications.push_back(path);
    editor.addButtonTap().onNext();
  }
  WorkspaceLayoutItemModelPtr item(std::size_t row) const { return group->items().at(row); }

  WorkspaceDetailViewController editor{nullptr, &dialogs};
  WorkspaceLayoutGroupModelPtr group;
};

TEST_F(WorkspaceDetailTest, ANewItemCoversTheGridOnTheMainDisplaysCurrentDesktop) {
  ASSERT_TRUE(sim().switchToSpaceAtPosition(3));
  drain();
  const std::string editorApp = app("Editor", "editor");
  addItem(editorApp);
  ASSERT_EQ(group->items().size(), 1u);
  const auto added = item(0);
  EXPECT_EQ(added->appPath(), editorApp);
  EXPECT_EQ(added->bundleIdentifier(), AppManager::shared().appInfo(editorApp)->bundleID);
  EXPECT_EQ(added->spaceIndex(), ScreenManager::shared().currentSpaceIndex(NSScreen::mainScreen()));
  EXPECT_EQ(added->spaceCount(), 4);
  EXPECT_EQ(std::tuple(added->x(), added->y(), added->width(), added->height()), std::tuple(0.0, 0.0, 1.0, 1.0));
  EXPECT_EQ(editor.controls().selectedItemRow, 0);
  EXPECT_FALSE(editor.controls().componentsHidden);
  EXPECT_NE(alfredFile().find("Work"), std::string::npos);

  // An unreadable choice adds nothing.
  addItem((tempDir() / "notes.txt").string());
  EXPECT_EQ(group->items().size(), 1u);
}

TEST_F(WorkspaceDetailTest, GridCellsBecomeEighthsAndStoredCountsWidenThePopups) {
  addItem(app("Editor", "editor"));
  const auto shown = item(0);
  TransformUtils::Matrix grid(8, std::vector<bool>(8, false));
  for (int r = 1; r <= 3; ++r)
    for (int c = 2; c <= 5; ++c) grid[r][c] = true;
  editor.layoutView().matrixValueChanged().onNext(TransformUtils::matrixValue(grid));
  EXPECT_EQ(std::tuple(shown->x(), shown->y(), shown->width(), shown->height()),
            std::tuple(0.25, 0.125, 0.5, 0.375));

  auto database = StoreService::shared().database();
  database->write([&] { shown->setSpaceCount(6); });
  editor.tableViewSelectionDidChange(0);
  EXPECT_EQ(editor.controls().spaceEntries.size(), 6u);
  EXPECT_EQ(editor.controls().spaceEntries.back(), "Desktop 6");
  EXPECT_EQ(editor.controls().screenEntries.size(), 1u);
  editor.spaceButtonAction().onNext(5);
  EXPECT_EQ(shown->spaceIndex(), 5);
}

// A window's own frame is recorded with the gap around it; the preview shows the cells the window covers.
TEST_F(WorkspaceDetailTest, ThePreviewOfAWindowLeftOnTheLeftHalfWithGapsShowsTheLeftHalf) {
  addItem(app("Editor", "editor"));
  defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), true);
  const CGRect visible = ScreenManager::shared().screenFrameAtIndex(0);
  const CGRect leftHalf = TransformUtils::convert(CGRectMake(0, 0, 0.5, 1), visible);
  StoreService::shared().database()->write([&] { setRecordedPlace(*item(0), recordedPlace(leftHalf, visible)); });
  editor.tableViewSelectionDidChange(0);
  std::vector<std::size_t> shownPerRow;
  for (const auto& row : editor.layoutView().rects())
    shownPerRow.push_back(static_cast<std::size_t>(std::count_if(row.begin(), row.end(), [](const MatrixRect* cell) {
      return cell->fill() == FixPostionMatrixView::kChosenFill;
    })));
  EXPECT_EQ(shownPerRow, std::vector<std::size_t>(8, 4));
  EXPECT_EQ(editor.layoutView().rects()[0][3]->fill(), FixPostionMatrixView::kChosenFill);
}

TEST_F(WorkspaceDetailTest, EachKeystrokeIsOneWriteOneRenameAndOneExport) {
  const std::string before = alfredFile();
  editor.titleInputText().onNext(std::string("W"));
  EXPECT_EQ(renamed, 1);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"W"}));
  EXPECT_NE(alfredFile().find("<string>W</string>"), std::string::npos);
  editor.titleInputText().onNext(std::string("Wo"));
  editor.titleInputText().onNext(std::string(""));
  EXPECT_EQ(renamed, 3);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{""}));
}

TEST_F(WorkspaceDetailTest, ChangingTheApplicationFollowsWithItsIdentifierAndRefusesAnUnreadableChoice) {
  addItem(app("Editor", "editor"));
  const auto shown = item(0);
  const std::string other = app("Viewer", "viewer");
  dialogs.applications.push_back(other);
  editor.appBrowserButtonTap().onNext();
  EXPECT_EQ(shown->appPath(), other);
  EXPECT_EQ(shown->bundleIdentifier(), AppManager::shared().appInfo(other)->bundleID);
  EXPECT_EQ(itemChanged, 1);

  dialogs.applications.push_back((tempDir() / "Viewer.APP").string());
  editor.appBrowserButtonTap().onNext();
  EXPECT_EQ(dialogs.alerts, (std::vector<std::string>{NSLocalizedString("UnsupportType")}));
  EXPECT_EQ(shown->appPath(), other);
  EXPECT_EQ(itemChanged, 1);
}

TEST_F(WorkspaceDetailTest, RemovingItemsSelectsTheNextRowAndKeepsTheRecord) {
  for (const char* name : {"A", "B", "C"}) addItem(app(name, name));
  const auto third = item(2);
  editor.tableViewSelectionDidChange(1);
  editor.removeButtonTap().onNext();
  ASSERT_EQ(group->items().size(), 2u);
  EXPECT_EQ(editor.workspaceItem(), third);
  EXPECT_EQ(editor.controls().selectedItemRow, 1);
  editor.removeButtonTap().onNext();
  editor.removeButtonTap().onNext();
  EXPECT_EQ(group->items().size(), 0u);
  EXPECT_EQ(editor.controls().selectedItemRow, -1);
  EXPECT_TRUE(editor.controls().componentsHidden);
  EXPECT_FALSE(third->isInvalidated());
}

TEST_F(WorkspaceDetailTest, AFailedWriteIsLoggedShownAndNotAnnounced) {
  auto database = StoreService::shared().database();
  database->beginWrite();  // the editor's own write cannot start inside it
  editor.titleInputText().onNext(std::string("Lost"));
  database->cancelWrite();
  EXPECT_EQ(renamed, 0);
  EXPECT_EQ(log.count("🔴 workspace change was not saved: name \"Lost\""), 1u);
  EXPECT_EQ(dialogs.alerts.size(), 1u);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"Work"}));
}

}  // namespace
}  // namespace tilvane::test
