// The file is checked before it is first opened: a damaged one is copied aside and what reads whole goes into a
// fresh file, said once with the copy's name; a sound file is never called damaged, and a full disk is said as
// such.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <fstream>

#include "Models/AutoLayoutModel.h"
#include "Models/CustomLayoutModel.h"
#include "Models/RuleLayoutModel.h"
#include "Models/WorkspaceLayoutGroupModel.h"
#include "StoreTestSupport.h"
#include "platform/base/SharedInstance.h"
#include "platform/store/FileRepair.h"
#include "platform/store/RawSql.h"

namespace tilvane::test {
namespace {

namespace fs = std::filesystem;
using store::test::querySql;
using testing::HasSubstr;
using testing::Not;

class StoreRepairTest : public StoreServiceTest {
 protected:
  /// Two custom layouts, a rule, a workspace of two items and enough remembered placements to fill pages of
  /// their own; then every handle goes, so the file holds it all.
  void fill() {
    auto db = store::Database::open();
    db->write([&] {
      for (const char* name : {"Left", "Right"}) {
        auto layout = std::make_shared<CustomLayoutModel>();
        layout->setName(name);
        store().addUpdating(*db, layout);
      }
      auto rule = std::make_shared<RuleLayoutModel>();
      rule->setId("org.example.Editor");
      store().addUpdating(*db, rule);
      auto group = std::make_shared<WorkspaceLayoutGroupModel>();
      group->setName("Desk");
      group->items().append(std::make_shared<WorkspaceLayoutItemModel>());
      group->items().append(std::make_shared<WorkspaceLayoutItemModel>());
      store().addUpdating(*db, group);
      for (int i = 0; i < 400; ++i) {
        auto model = std::make_shared<AutoLayoutModel>();
        model->setBundleIdentifier("org.example.App" + std::to_string(i));
        model->makeId();
        store().addUpdating(*db, model);
      }
    });
  }
  /// Overwrites the first page of `table` with bytes no page has.
  void damage(const std::string& table) {
    const auto page = std::stoll(querySql(databaseFile(), "SELECT rootpage FROM sqlite_master WHERE name = '" + table + "'"));
    const auto size = std::stoll(querySql(databaseFile(), "PRAGMA page_size"));
    std::fstream file(databaseFile(), std::ios::in | std::ios::out | std::ios::binary);
    file.seekp((page - 1) * size);
    const std::string garbage(static_cast<std::size_t>(size), '\xA5');
    file.write(garbage.data(), static_cast<std::streamsize>(garbage.size()));
  }
  /// A new launch: the store configured afresh, what it shows on screen recorded.
  void relaunch() {
    SharedInstances::resetAll();
    store().configureRealm();
    store().setNotifier([this](const std::string& text) { shown.push_back(text); });
    shown.clear();
    log.clear();
  }
  std::vector<fs::path> copies() const {
    std::vector<fs::path> found;
    for (const auto& entry : fs::directory_iterator(databaseFile().parent_path()))
      if (const auto name = entry.path().filename().string();
          name.rfind("default.sqlite.damaged-", 0) == 0 && !name.ends_with("-wal"))
        found.push_back(entry.path());
    return found;
  }
  std::vector<std::string> logLines(const std::string& text) const {
    std::vector<std::string> found;
    for (const auto& line : log.lines())
      if (line.find(text) != std::string::npos) found.push_back(line);
    return found;
  }
  std::vector<std::string> shown;
};

TEST_F(StoreRepairTest, ADamagedTableIsLeftBehindAndEverythingElseCarriedIntoAFreshFileBesideAKeptCopy) {
  fill();
  damage("AutoLayoutModel");
  ASSERT_EQ(store::checkFile(databaseFile()).state, store::FileState::damaged);
  const std::string damaged = readFile(databaseFile());
  relaunch();

  EXPECT_EQ(store().customLayouts().size(), 2u);
  EXPECT_EQ(store().rules().size(), 1u);
  const auto workspaces = store().workspaces();
  ASSERT_EQ(workspaces.size(), 1u);
  EXPECT_EQ(workspaces[0]->name(), "Desk");
  EXPECT_EQ(workspaces[0]->items().size(), 2u);
  EXPECT_EQ(store().autoLayoutModels(store::Predicate::equals("bundleIdentifier", "org.example.App1")),
            std::vector<AutoLayoutModelPtr>{});
  EXPECT_EQ(store::checkFile(databaseFile()).state, store::FileState::sound);

  const auto kept = copies();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readFile(kept[0]), damaged) << "the copy is the file as it was";
  ASSERT_EQ(log.count("⚠️ "), 1u) << testing::PrintToString(log.lines());
  EXPECT_EQ(log.count("🔴 "), 0u);
  const auto said = logLines("was damaged");
  ASSERT_EQ(said.size(), 1u);
  EXPECT_THAT(said[0], HasSubstr("A copy was kept as \"" + kept[0].string() + "\""));
  EXPECT_THAT(said[0], HasSubstr("a fresh database now holds what could be read: workspaces, custom layouts, "
                                 "application rules, added applications, the history of window moves."));
  EXPECT_THAT(said[0], HasSubstr("Lost: remembered window positions."));
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_THAT(shown[0], HasSubstr(kept[0].filename().string()));

  // Remembering goes on in the fresh file, and the next launch finds nothing to mend.
  store().updateLayout(std::make_shared<AutoLayoutModel>());
  relaunch();
  EXPECT_EQ(store().customLayouts().size(), 2u);
  EXPECT_EQ(copies().size(), 1u);
  EXPECT_TRUE(shown.empty()) << testing::PrintToString(shown);
}

TEST_F(StoreRepairTest, AFileThatIsNoDatabaseAtAllMakesWayForAnEmptyOneAndIsKept) {
  fs::create_directories(databaseFile().parent_path());
  std::ofstream(databaseFile()) << std::string(4096, 'x');
  relaunch();
  EXPECT_TRUE(store().workspaces().empty());
  const auto kept = copies();
  ASSERT_EQ(kept.size(), 1u);
  EXPECT_EQ(readFile(kept[0]), std::string(4096, 'x'));
  EXPECT_NE(store().database(), nullptr) << "the program remembers again";
  EXPECT_EQ(logLines("Lost: ").size(), 1u);
}

// A file that passes its check is never advised away, whatever else goes wrong.
TEST_F(StoreRepairTest, AFullDiskAtStartIsSaidAsSuchAndTheFileIsLeftAsItWas) {
  if (geteuid() != 0) GTEST_SKIP() << "needs a small file system of its own";
  // A mount namespace of this test process: the small file system is seen by no one else and goes with it.
  if (unshare(CLONE_NEWNS) != 0 || mount("none", "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
    GTEST_SKIP() << "cannot make a mount namespace here";
  const fs::path small = tempDir() / "small";
  fs::create_directories(small);
  ASSERT_EQ(mount("tmpfs", small.c_str(), "tmpfs", 0, "size=2m"), 0);
  {
    const ScopedEnv data("XDG_DATA_HOME", small.string());
    relaunch();
    fill();
    ASSERT_EQ(store::checkFile(databaseFile()).state, store::FileState::sound);
    {
      std::ofstream filler(small / "filler", std::ios::binary);
      const std::string block(4096, 'f');
      while (filler.write(block.data(), block.size()) && filler.flush()) {
      }
    }
    const std::string before = readFile(databaseFile());
    relaunch();
    store().updateLayout(std::make_shared<AutoLayoutModel>());
    store().customLayouts();
    const auto said = logLines("🔴 ");
    ASSERT_EQ(said.size(), 1u) << testing::PrintToString(log.lines());
    EXPECT_THAT(said[0], HasSubstr("the disk is full. Free some disk space"));
    for (const auto& line : log.lines()) EXPECT_THAT(line, Not(HasSubstr("aside")));
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0], "Tilvane cannot remember window positions: the disk is full");
    EXPECT_EQ(readFile(databaseFile()), before);
    EXPECT_TRUE(copies().empty());
  }
  umount2(small.c_str(), MNT_DETACH);
}

}  // namespace
}  // namespace tilvane::test
