// The workspace list against a temporary store and list file: add, delete with its confirmation and the
// selection after it, a rename reaching the selected row, failed writes, and the snapshot's steps.
#include <gtest/gtest.h>

#include <thread>

#include "WorkspaceLayout/Editor/WorkspaceViewController.h"
#include "WorkspaceLayout/Restore/AsyncBlockOperation.h"
#include "WorkspacePaneFixture.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::test {
namespace {

/// Records the reloads of the one row the list refreshes on a rename.
class RecordingListView final : public WorkspaceListView {
 public:
  void addDetailView(WorkspaceDetailView*) override {}
  void reloadData() override { ++reloads; }
  void reloadRow(std::size_t row) override { rowsReloaded.push_back(row); }
  void selectRow(int) override {}
  void setIntroHidden(bool) override {}
  void setSnapshotEnabled(bool enabled) override { snapshotEnabled = enabled; }
  int reloads = 0;
  std::vector<std::size_t> rowsReloaded;
  bool snapshotEnabled = false;
};

class RecordingViews final : public WorkspaceViews {
 public:
  std::unique_ptr<WorkspaceListView> makeView(WorkspaceViewController&) override {
    auto view = std::make_unique<RecordingListView>();
    list = view.get();
    return view;
  }
  std::unique_ptr<WorkspaceDetailView> makeView(WorkspaceDetailViewController&) override { return nullptr; }
  RecordingListView* list = nullptr;
};

class WorkspaceListTest : public WorkspacePaneTest {
 protected:
  WorkspaceViewController& open() {
    list = std::make_unique<WorkspaceViewController>(services());
    list->view();
    return *list;
  }
  WorkspaceServices services() {
    WorkspaceServices s;
    s.views = &views;
    s.dialogs = &dialogs;
    // The desktop walk: two desktops, a second each, as steps of the main loop.
    s.visitSpaces = [this] {
      ++walks;
      return std::make_shared<AsyncBlockOperation>([this](AsyncBlockOperation::Done done) {
        walkThread = std::this_thread::get_id();
        dispatch::MainQueue::asyncAfter(2.0, std::move(done));
      });
    };
    s.snapshotWorkspace = [this] {
      storeThread = std::this_thread::get_id();
      return snapshotItems;
    };
    return s;
  }
  std::vector<std::string> names() const {
    std::vector<std::string> result;
    for (const auto& g : list->workspaces()) result.push_back(g->name());
    return result;
  }
  void deleteSelected(int response = WorkspaceDialogs::kDelete) {
    list->removeButtonTap().onNext();
    dialogs.answer(response);
  }

  RecordingViews views;
  std::unique_ptr<WorkspaceViewController> list;
  std::vector<WorkspaceLayoutItemModelPtr> snapshotItems;
  int walks = 0;
  std::thread::id walkThread, storeThread;
};

TEST_F(WorkspaceListTest, AddSelectsOneNewSpaceRowStoresItAndRewritesTheListFile) {
  open();
  EXPECT_EQ(list->numberOfRows(), 0u);
  EXPECT_FALSE(list->introHidden());
  list->addButtonTap().onNext();
  ASSERT_EQ(names(), (std::vector<std::string>{"New Workspace"}));
  EXPECT_EQ(list->selectedRow(), 0);
  EXPECT_TRUE(list->introHidden());
  EXPECT_EQ(added, 1);
  ASSERT_EQ(selected.size(), 1u);
  EXPECT_EQ(selected[0], list->workspaces()[0]);
  EXPECT_EQ(storedNames(), (std::vector<std::string>{"New Workspace"}));
  EXPECT_NE(alfredFile().find(list->workspaces()[0]->id()), std::string::npos);
}

TEST_F(WorkspaceListTest, DeleteFollowsTheSelectionRulesAndCancelChangesNothing) {
  storedWorkspace("A");
  storedWorkspace("B");
  storedWorkspace("C");
  open();
  ASSERT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
  list->tableViewSelectionDidChange(1);

  deleteSelected(WorkspaceDialogs::kCancel);
  EXPECT_EQ(dialogs.confirmations, 1);
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "B", "C"}));
  EXPECT_EQ(removed, 0);

  deleteSelected();  // the middle row: the row moving up is selected
  EXPECT_EQ(names(), (std::vector<std::string>{"A", "C"}));
  EXPECT_EQ(list->selectedRow(), 1);
  EXPECT_EQ(selected.back()->name(), "C");
  EXPECT_EQ(removed, 1);

  deleteSelected();  // the last row: the new last row
  EXPECT_EQ(names(), (std::vector<std::string>{"A"}));
  EXPECT_EQ(list->selectedRow(), 0);
  EXPECT_EQ(removed, 2);

  deleteSelected();  // the only row: nothing left, nothing selected
  EXPECT_TRUE(names().empty());
  EXPECT_EQ(list->selectedRow(), -1);
  EXPECT_EQ(selected.back(), nullptr);
  EXPECT_FALSE(list->introHidden());
  EXPECT_EQ(removed, 3);
  EXPECT_TRUE(storedNames().empty());
  EXPECT_EQ(alfredFile().find("<key>"), std::string::npos);

  deleteSelected();  // no selection: nothing
  EXPECT_EQ(removed, 3);
}

TEST_F(WorkspaceListTest, ARenameRefreshesTheSelectedRowAndRewritesTheListFile) {
  storedWorkspace("A");
  storedWorkspace("B");
  open();
  list->tableViewSelectionDidChange(1);
  list->deatilViewController().titleInputText().onNext(std::string("Renamed"));
  EXPECT_EQ(views.list->rowsReloaded, (std::vector<std::size_t>{1}));
  EXPECT_EQ(list->workspaces()[1]->name(), "Renamed");
  EXPECT_NE(alfredFile().find("Renamed"), std::string::npos);
}

TEST_F(WorkspaceListTest, AFailedWriteAddsNoRowLogsAnErrorAndTellsTheUser) {
  breakDatabase();
  open();
  list->addButtonTap().onNext();
  EXPECT_EQ(list->numberOfRows(), 0u);
  EXPECT_EQ(list->selectedRow(), -1);
  EXPECT_EQ(added, 0);
  EXPECT_TRUE(selected.empty());
  EXPECT_EQ(log.count("🔴 workspace change was not saved: new workspace"), 1u);
  EXPECT_EQ(dialogs.alerts.size(), 1u);
}

TEST_F(WorkspaceListTest, ASnapshotWalksOffTheCriticalPathStoresOnTheMainThreadAndRunsOneAtATime) {
  open();
  auto item = std::make_shared<WorkspaceLayoutItemModel>();
  item->setBundleIdentifier("org.example.Editor");
  item->setX(0.5);
  snapshotItems = {item, std::make_shared<WorkspaceLayoutItemModel>()};
  EXPECT_TRUE(views.list->snapshotEnabled);

  list->snapshotButtonTap().onNext();
  // The tap returns at once; the button stays disabled until the result is stored.
  EXPECT_TRUE(list->snapshotRunning());
  EXPECT_FALSE(views.list->snapshotEnabled);
  list->snapshotButtonTap().onNext();  // ignored while one runs
  EXPECT_EQ(walks, 1);
  bool mainLoopFree = false;
  dispatch::MainQueue::asyncAfter(1.0, [&] { mainLoopFree = true; });
  advance(1.5);
  EXPECT_TRUE(mainLoopFree);  // other work ran during the walk
  EXPECT_EQ(list->numberOfRows(), 0u);

  advance(1.0);
  drain();
  EXPECT_EQ(walkThread, std::this_thread::get_id());
  EXPECT_EQ(storeThread, std::this_thread::get_id());
  ASSERT_EQ(list->numberOfRows(), 1u);
  EXPECT_EQ(added, 1);
  EXPECT_EQ(walks, 1);
  EXPECT_EQ(list->selectedRow(), 0);
  const auto stored = StoreService::shared().workspaces();
  ASSERT_EQ(stored.size(), 1u);
  const auto items = stored[0]->items().toVector();
  ASSERT_EQ(items.size(), 2u);
  EXPECT_EQ(items[0]->id(), item->id());
  EXPECT_EQ(items[0]->bundleIdentifier(), "org.example.Editor");
  EXPECT_EQ(items[0]->x(), 0.5);
  EXPECT_FALSE(list->snapshotRunning());
  EXPECT_TRUE(views.list->snapshotEnabled);

  // An empty snapshot still stores a workspace.
  snapshotItems.clear();
  list->snapshotButtonTap().onNext();
  advance(3.0);
  drain();
  EXPECT_EQ(list->numberOfRows(), 2u);
  EXPECT_EQ(added, 2);
}

}  // namespace
}  // namespace tilvane::test
