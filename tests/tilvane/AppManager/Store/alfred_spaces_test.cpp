#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>

#include "Models/WorkspaceLayoutGroupModel.h"
#include "StoreTestSupport.h"

namespace tilvane::test {
namespace {

using Entries = std::map<std::string, std::string>;

std::shared_ptr<WorkspaceLayoutGroupModel> storedWorkspace(const std::string& name, int items) {
  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setName(name);
  for (int i = 0; i < items; ++i) group->items().append(std::make_shared<WorkspaceLayoutItemModel>());
  auto db = store::Database::open();
  db->write([&] { StoreService::shared().addUpdating(*db, group); });
  return group;
}

TEST_F(StoreServiceTest, ListFileMapsEachWorkspaceIdToItsNameInANewFolder) {
  const auto a = storedWorkspace("Same", 0);
  const auto b = storedWorkspace("Same", 0);
  ASSERT_FALSE(std::filesystem::exists(alfredFile().parent_path()));
  store().exportAlfredSpaces();
  EXPECT_EQ(alfredEntries(), (Entries{{a->id(), "Same"}, {b->id(), "Same"}}));
  EXPECT_NE(readFile(alfredFile()).find("<?xml version=\"1.0\""), std::string::npos);

  auto db = store::Database::open();
  db->write([&] { a->setName("Tom & <Jerry>"); });
  store().exportAlfredSpaces();
  EXPECT_EQ(alfredEntries(), (Entries{{a->id(), "Tom & <Jerry>"}, {b->id(), "Same"}}));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(StoreServiceTest, DeletingAWorkspaceDeletesItsItemsAndRewritesTheListFile) {
  const auto doomed = storedWorkspace("Doomed", 2);
  const auto kept = storedWorkspace("Kept", 1);
  const auto doomedItems = doomed->items().toVector();

  WorkspaceLayoutGroupModel byId;  // only the id of the argument counts
  byId.setId(doomed->id());
  store().deleteWorkspace(byId);

  EXPECT_TRUE(doomed->isInvalidated());
  for (const auto& item : doomedItems) EXPECT_TRUE(item->isInvalidated());
  EXPECT_EQ(store::Database::open()->count<WorkspaceLayoutItemModel>(), 1u);
  EXPECT_EQ(kept->items().size(), 1u);
  EXPECT_EQ(alfredEntries(), (Entries{{kept->id(), "Kept"}}));

  store().deleteWorkspace(*kept);
  EXPECT_EQ(alfredEntries(), Entries{});  // a property list with an empty dictionary
  EXPECT_EQ(store::Database::open()->count<WorkspaceLayoutItemModel>(), 0u);
}

TEST_F(StoreServiceTest, DeletingAnUnknownWorkspaceChangesNothingButStillRewritesTheFile) {
  const auto kept = storedWorkspace("Kept", 1);
  store().deleteWorkspace(WorkspaceLayoutGroupModel());
  EXPECT_EQ(store().workspaces().size(), 1u);
  EXPECT_EQ(kept->items().size(), 1u);
  EXPECT_EQ(alfredEntries(), (Entries{{kept->id(), "Kept"}}));
}

TEST_F(StoreServiceTest, AnUnwritableLocationIsSilentAndKeepsTheOldFile) {
  storedWorkspace("New", 0);
  const auto folder = alfredFile().parent_path();
  std::filesystem::create_directories(folder);
  const std::string old = "old contents";
  { std::ofstream(alfredFile()) << old; }
  ::chmod(folder.c_str(), 0555);

  // Root may write anywhere: the export runs in a child that gives up root first.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // Opened before giving up root, so that only the file write is refused.
    const auto db = store::Database::open();
    db->count<WorkspaceLayoutGroupModel>();
    if (geteuid() == 0 && setuid(65534) != 0) _exit(3);
    log.clear();
    StoreService::shared().exportAlfredSpaces();
    _exit(log.lines().empty() ? 0 : 4);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ::chmod(folder.c_str(), 0755);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not drop root, 4: something was logged";
  EXPECT_EQ(readFile(alfredFile()), old);
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // nothing left beside it
}

TEST_F(StoreServiceTest, AFolderThatCannotBeMadeIsSilent) {
  storedWorkspace("Any", 0);
  { std::ofstream(tempDir() / "var") << "a file where a folder should be"; }
  store().exportAlfredSpaces();
  EXPECT_FALSE(std::filesystem::exists(alfredFile()));
  EXPECT_TRUE(log.lines().empty());
}

TEST(AlfredSpacesFileTest, DefaultsToTheFixedLocationUnlessRedirected) {
  {
    ScopedEnv unset("TILVANE_ALFRED_FILE", std::nullopt);
    EXPECT_EQ(StoreService::alfredSpacesFile(), "/usr/local/var/tilvane/afredsupport/space.xml");
  }
  ScopedEnv set("TILVANE_ALFRED_FILE", "/tmp/elsewhere.xml");
  EXPECT_EQ(StoreService::alfredSpacesFile(), "/tmp/elsewhere.xml");
}

}  // namespace
}  // namespace tilvane::test
