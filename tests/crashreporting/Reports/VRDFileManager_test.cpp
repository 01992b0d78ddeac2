#include <sys/stat.h>

#include <fstream>

#include "crashreporting/Reports/VRDFileManager.h"
#include "crashreporting/Reports/VRDInternalReport.h"
#include "crashreporting/support/CaptureTest.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting::test {
namespace {

namespace fs = std::filesystem;

class FileManager : public LibraryTest {
 protected:
  FileManager() {
    BundleInfo info;
    info.infoDictionary.emplace("CFBundleIdentifier", Value("org.example/app"));
    MainBundle::set(std::move(info));
  }
  static void touch(const fs::path& path, const std::string& text = "x") {
    fs::create_directories(path.parent_path());
    std::ofstream(path) << text;
  }
  static std::vector<std::string> names(const std::vector<std::string>& paths) {
    std::vector<std::string> result;
    for (const auto& path : paths) result.push_back(fs::path(path).filename().string());
    return result;
  }
  fs::path root() const { return tempDir() / "cache" / "com.zizozu" / "org.example_app"; }
};

TEST_F(FileManager, PreparesTheStageFoldersUnderTheCacheFolderWithoutPending) {
  VRDFileManager store;
  EXPECT_EQ(store.rootPath(), root().string());
  EXPECT_EQ(store.pathNamespace(), "org.example_app");
  ASSERT_TRUE(store.prepareForNewLaunch());
  for (const char* stage : {"active", "processing", "prepared"}) {
    struct stat info {};
    ASSERT_EQ(::stat((root() / "v3" / stage).c_str(), &info), 0) << stage;
    EXPECT_EQ(info.st_mode & 0777, 0755u) << stage;
  }
  EXPECT_FALSE(fs::exists(root() / "v3" / "pending"));
  const auto folder = store.setupNewPathForExecutionIdentifier("abc");
  ASSERT_TRUE(folder);
  EXPECT_EQ(*folder, (root() / "v3" / "active" / "abc").string());
  EXPECT_TRUE(fs::is_directory(*folder));

  // A file where a stage folder belongs stops the preparation there.
  fs::remove_all(root());
  touch(root() / "v3" / "processing");
  VRDFileManager blocked;
  EXPECT_FALSE(blocked.prepareForNewLaunch());
  EXPECT_TRUE(fs::is_directory(root() / "v3" / "active"));
  EXPECT_FALSE(fs::exists(root() / "v3" / "prepared"));
}

TEST_F(FileManager, HiddenEntriesAreNeitherListedMovedNorRemoved) {
  VRDFileManager store;
  ASSERT_TRUE(store.prepareForNewLaunch());
  const fs::path active = store.activePath();
  touch(active / ".hidden");
  touch(active / "b" / "signal.vrdrecord");
  touch(active / "a.txt.gz");
  std::vector<std::pair<std::string, std::string>> seen;
  store.enumerateFilesInActiveDirectory(
      [&](const std::string& path, const std::string& extension) { seen.emplace_back(path, extension); });
  ASSERT_EQ(seen.size(), 2u);
  EXPECT_EQ(seen[0], std::make_pair((active / "a.txt.gz").string(), std::string("gz")));
  EXPECT_EQ(seen[1], std::make_pair((active / "b").string(), std::string()));

  EXPECT_TRUE(store.moveItemsFromDirectory(active, store.processingPath()));
  EXPECT_EQ(names(store.processingPathContents()), (std::vector<std::string>{"a.txt.gz", "b"}));
  EXPECT_TRUE(fs::exists(active / ".hidden"));
  touch(fs::path(store.processingPath()) / ".keep");
  EXPECT_TRUE(store.removeContentsOfProcessingPath());
  EXPECT_TRUE(store.processingPathContents().empty());
  EXPECT_TRUE(fs::exists(fs::path(store.processingPath()) / ".keep"));
  EXPECT_TRUE(store.contentsOfDirectory((tempDir() / "missing").string()).empty());
}

TEST_F(FileManager, AFailedMoveLeavesThatEntryAndTheRestWhereTheyAre) {
  VRDFileManager store;
  ASSERT_TRUE(store.prepareForNewLaunch());
  const fs::path processing = store.processingPath();
  touch(processing / "r1" / "signal.vrdrecord", "first");
  touch(processing / "r2" / "signal.vrdrecord");
  touch(processing / "r3" / "signal.vrdrecord");
  // An entry of the same name already waits in prepared: never merged or replaced.
  touch(fs::path(store.preparedPath()) / "r2" / "other");
  EXPECT_FALSE(store.moveProcessingContentsToPrepared());
  EXPECT_TRUE(log_.count("[FileManager] Failed to move file: File exists") == 1) << log_.lines().size();
  EXPECT_EQ(names(store.processingPathContents()), (std::vector<std::string>{"r2", "r3"}));
  EXPECT_EQ(names(store.preparedPathContents()), (std::vector<std::string>{"r1", "r2"}));
  EXPECT_EQ(readText(fs::path(store.preparedPath()) / "r1" / "signal.vrdrecord"), "first");
  EXPECT_FALSE(fs::exists(fs::path(store.preparedPath()) / "r2" / "signal.vrdrecord"));

  EXPECT_FALSE(store.moveItemAtPath("", store.preparedPath()));
  EXPECT_EQ(log_.count("[FileManager] Failed to move file, inputs invalid"), 1u);
}

TEST_F(FileManager, RemovingAllStagesEmptiesEachWhateverTheOthersGave) {
  VRDFileManager store;
  ASSERT_TRUE(store.prepareForNewLaunch());
  touch(fs::path(store.activePath()) / "r" / "a");
  touch(fs::path(store.preparedPath()) / "p.multipartmime");
  touch(fs::path(store.processingPath()) / "q");
  // pending was never created.
  EXPECT_TRUE(store.removeContentsOfAllPaths());
  EXPECT_TRUE(store.activePathContents().empty());
  EXPECT_TRUE(store.preparedPathContents().empty());
  EXPECT_TRUE(store.processingPathContents().empty());

  EXPECT_EQ(store.fileSizeAtPath((tempDir() / "nothing").string()), std::nullopt);
  touch(tempDir() / "five", "12345");
  EXPECT_EQ(store.fileSizeAtPath((tempDir() / "five").string()), 5u);
}

TEST_F(FileManager, LegacyLayoutIsRemovedBeforeThisLaunchsFoldersAndNeverAfter) {
  touch(root() / "sendable" / "old");
  touch(root() / "v3" / "active" / "older" / "signal.vrdrecord");
  VRDFileManager store;
  ASSERT_TRUE(store.prepareForNewLaunch());
  EXPECT_FALSE(fs::exists(root() / "sendable"));
  EXPECT_FALSE(fs::exists(root() / "v3" / "active" / "older"));
  EXPECT_EQ(log_.count("[Vuveradarad:FileManager] Removed legacy structure at " + root().string()), 1u);
  const auto folder = store.setupNewPathForExecutionIdentifier("now");
  ASSERT_TRUE(folder);
  touch(fs::path(*folder) / "metadata.vrdrecord");

  // A legacy folder that shows up later cannot take this run's folder with it.
  touch(root() / "sendable");
  store.removeLegacyDirectories();
  EXPECT_TRUE(fs::exists(fs::path(*folder) / "metadata.vrdrecord"));

  // Without "sendable" nothing happens.
  VRDFileManager untouched((tempDir() / "plain").string());
  touch(tempDir() / "plain" / "v3" / "active" / "x");
  untouched.removeLegacyDirectories();
  EXPECT_TRUE(fs::exists(tempDir() / "plain" / "v3" / "active" / "x"));
}

TEST_F(FileManager, ProcessingReportsComeWithTheirReportObjects) {
  VRDFileManager store;
  ASSERT_TRUE(store.prepareForNewLaunch());
  touch(fs::path(store.processingPath()) / "exec1" / "metadata.vrdrecord",
        R"({"identity":{"session_id":"s1","api_key":"k"}})" "\n");
  std::vector<std::string> identifiers;
  store.enumerateReportsInProcessingDirectory([&](std::optional<VRDInternalReport> report, const std::string& path) {
    ASSERT_TRUE(report);
    EXPECT_EQ(report->path(), path);
    identifiers.push_back(report->identifier());
  });
  EXPECT_EQ(identifiers, std::vector<std::string>{"s1"});
}

}  // namespace
}  // namespace crashreporting::test
