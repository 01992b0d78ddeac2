#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "Models/WorkspaceLayoutGroupModel.h"
#include "StoreTestSupport.h"
#include "support/AsNobody.h"

namespace tilvane::test {
namespace {

using Entries = std::map<std::string, std::string>;

class AlfredSpacesTest : public StoreServiceTest {
 protected:
  std::shared_ptr<WorkspaceLayoutGroupModel> storedWorkspace(const std::string& name, int items) {
    auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setName(name);
    for (int i = 0; i < items; ++i) group->items().append(std::make_shared<WorkspaceLayoutItemModel>());
    return stored(group);
  }
};

TEST_F(AlfredSpacesTest, ListFileMapsEachWorkspaceIdToItsNameInANewFolder) {
  const auto a = storedWorkspace("Same", 0);
  const auto b = storedWorkspace("Same", 0);
  store().exportAlfredSpaces();
  EXPECT_EQ(alfredEntries(), (Entries{{a->id(), "Same"}, {b->id(), "Same"}}));

  auto db = store::Database::open();
  db->write([&] { a->setName("Tom & <Jerry>"); });
  store().exportAlfredSpaces();
  EXPECT_EQ(alfredEntries(), (Entries{{a->id(), "Tom & <Jerry>"}, {b->id(), "Same"}}));
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(AlfredSpacesTest, DeletingAWorkspaceDeletesItsItemsAndRewritesTheListFile) {
  const auto doomed = storedWorkspace("Doomed", 2);
  const auto kept = storedWorkspace("Kept", 1);
  const auto doomedItems = doomed->items().toVector();
  store().deleteWorkspace(WorkspaceLayoutGroupModel());  // unknown: nothing deleted, the file written
  EXPECT_EQ(alfredEntries(), (Entries{{doomed->id(), "Doomed"}, {kept->id(), "Kept"}}));

  WorkspaceLayoutGroupModel byId;  // only the id of the argument counts
  byId.setId(doomed->id());
  store().deleteWorkspace(byId);
  EXPECT_TRUE(doomed->isInvalidated());
  for (const auto& item : doomedItems) EXPECT_TRUE(item->isInvalidated());
  EXPECT_EQ(kept->items().size(), 1u);
  EXPECT_EQ(alfredEntries(), (Entries{{kept->id(), "Kept"}}));

  store().deleteWorkspace(*kept);
  EXPECT_EQ(alfredEntries(), Entries{});  // a property list with an empty dictionary
  EXPECT_EQ(store::Database::open()->count<WorkspaceLayoutItemModel>(), 0u);
}

TEST_F(AlfredSpacesTest, AnUnwritableLocationIsSilentAndKeepsTheOldFile) {
  storedWorkspace("New", 0);
  const auto folder = alfredFile().parent_path();
  std::filesystem::create_directories(folder);
  { std::ofstream(alfredFile()) << "old contents"; }
  ::chmod(folder.c_str(), 0555);
  const int code = runAsNobody(tempDir(), [&] {
    log.clear();
    store().exportAlfredSpaces();
    return log.lines().empty() ? 0 : 1;
  });
  EXPECT_EQ(code, 0) << "1: something was logged";
  EXPECT_EQ(readFile(alfredFile()), "old contents");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), {}), 1);  // nothing left beside it
}

TEST_F(AlfredSpacesTest, AFolderThatCannotBeMadeIsSilent) {
  storedWorkspace("Any", 0);
  { std::ofstream(tempDir() / "var") << "a file where a folder should be"; }
  store().exportAlfredSpaces();
  EXPECT_FALSE(std::filesystem::exists(alfredFile()));
  EXPECT_TRUE(log.lines().empty());
}

}  // namespace
}  // namespace tilvane::test
