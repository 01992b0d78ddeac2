#include <gtest/gtest.h>
#include <sys/stat.h>

#include <fstream>

#include "Models/WorkspaceLayoutGroupModel.h"
#include "StoreTestSupport.h"
#include "platform/defaults/PlistCodec.h"
#include "support/AsNobody.h"

namespace tilvane::test {
namespace {

using defaults::Value;
using Entries = defaults::Dictionary;

class AlfredSpacesTest : public StoreServiceTest {
 protected:
  std::shared_ptr<WorkspaceLayoutGroupModel> storedWorkspace(const std::string& name, int items) {
    auto group = std::make_shared<WorkspaceLayoutGroupModel>();
    group->setName(name);
    for (int i = 0; i < items; ++i) group->items().append(std::make_shared<WorkspaceLayoutItemModel>());
    return stored(group);
  }
  // The workspace list file as id -> name; absent when it is missing or not a property list.
  std::optional<Entries> alfredEntries() const {
    std::string error;
    return defaults::decodePlistDictionary(readFile(alfredFile()), error);
  }
};

TEST_F(AlfredSpacesTest, ListFileMapsEachWorkspaceIdToItsNameAndFollowsDeletes) {
  const auto doomed = storedWorkspace("Same", 2);
  const auto kept = storedWorkspace("Same", 1);
  const auto doomedItems = doomed->items().toVector();
  store().deleteWorkspace(WorkspaceLayoutGroupModel());  // unknown: nothing deleted, the file written anew
  EXPECT_EQ(alfredEntries(), (Entries{{doomed->id(), Value("Same")}, {kept->id(), Value("Same")}}));

  WorkspaceLayoutGroupModel byId;  // only the id of the argument counts
  byId.setId(doomed->id());
  store().deleteWorkspace(byId);
  EXPECT_TRUE(doomed->isInvalidated());
  for (const auto& item : doomedItems) EXPECT_TRUE(item->isInvalidated());
  EXPECT_EQ(kept->items().size(), 1u);
  EXPECT_EQ(alfredEntries(), (Entries{{kept->id(), Value("Same")}}));

  store().deleteWorkspace(*kept);
  EXPECT_EQ(alfredEntries(), Entries{});  // a property list with an empty dictionary
  EXPECT_EQ(store::Database::open()->count<WorkspaceLayoutItemModel>(), 0u);
  EXPECT_TRUE(log.lines().empty());
}

// The list is a courtesy to another program: failing to write it is silent and keeps what was there.
TEST_F(AlfredSpacesTest, AnUnwritableLocationIsSilentAndKeepsTheOldFile) {
  storedWorkspace("New", 0);
  for (const bool folderIsAFile : {false, true}) {
    SCOPED_TRACE(folderIsAFile ? "a file where the folder should be" : "a folder that may not be written");
    const auto blocker = folderIsAFile ? tempDir() / "var" : alfredFile();
    std::filesystem::remove_all(tempDir() / "var");
    std::filesystem::create_directories(blocker.parent_path());
    { std::ofstream(blocker) << "old contents"; }
    const auto locked = folderIsAFile ? blocker : blocker.parent_path();
    ::chmod(locked.c_str(), 0555);
    const int code = runAsNobody(tempDir(), [&] {
      log.clear();
      store().exportAlfredSpaces();
      return log.lines().empty() ? 0 : 1;
    });
    ::chmod(locked.c_str(), 0755);
    EXPECT_EQ(code, 0) << "1: something was logged";
    EXPECT_EQ(readFile(blocker), "old contents");
    if (!folderIsAFile) {
      EXPECT_EQ(std::distance(std::filesystem::directory_iterator(locked), {}), 1);  // no leftovers
    }
  }
}

}  // namespace
}  // namespace tilvane::test
