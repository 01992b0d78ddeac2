// Which desktop entry stands for the user's file manager.
#include <gtest/gtest.h>

#include "FakeBundles.h"
#include "platform/apps/FileManagerEntry.h"
#include "platform/apps/XdgApplicationSource.h"
#include "support/TestEnvironment.h"

namespace tilvane::apps {
namespace {

namespace fs = std::filesystem;

TEST(FileManagerEntryTest, ReadsTheDefaultsForFoldersOnly) {
  const std::string text =
      "[Added Associations]\ninode/directory=added.desktop;\n"
      "[Default Applications]\n# a comment\ntext/plain=editor.desktop\n"
      " inode/directory = files.desktop; ;kde-dolphin.desktop;notadesktop\n";
  EXPECT_EQ(defaultApplicationsIn(text, kFolderMediaType), (std::vector<std::string>{"files", "kde-dolphin"}));
  EXPECT_TRUE(defaultApplicationsIn("[Default Applications]\n", kFolderMediaType).empty());
  EXPECT_TRUE(listsMediaType("text/plain;inode/directory;", kFolderMediaType));
  EXPECT_FALSE(listsMediaType("inode/directory-like;text/plain", kFolderMediaType));
}

class FileManagerSourceTest : public ::testing::Test {
 protected:
  FileManagerSourceTest() {
    write("files.desktop", "[Desktop Entry]\nType=Application\nName=Files\nIcon=folder\nMimeType=inode/directory;\n");
    write("commander.desktop", "[Desktop Entry]\nType=Application\nName=Commander\nMimeType=inode/directory\n");
    write("editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nMimeType=text/plain\n");
  }
  void write(const std::string& name, const std::string& text) {
    test::writeText(temp_.path() / "data" / "applications" / name, text);
  }
  XdgApplicationSource source() const { return XdgApplicationSource({temp_.path() / "data"}); }

  test::ScopedTempDir temp_;
  test::ScopedEnv configHome_{"XDG_CONFIG_HOME", (temp_.path() / "config").string()};
  test::ScopedEnv configDirs_{"XDG_CONFIG_DIRS", (temp_.path() / "etc").string()};
};

TEST_F(FileManagerSourceTest, TheUsersDefaultWinsThenTheSystemsThenAnEntryThatOpensFolders) {
  // Nothing chosen anywhere: the first entry, in id order, that opens folders.
  auto manager = source().fileManager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->name, "Commander");

  test::writeText(temp_.path() / "etc" / "mimeapps.list", "[Default Applications]\ninode/directory=files.desktop\n");
  manager = source().fileManager();
  ASSERT_TRUE(manager);
  EXPECT_EQ(manager->bundleIdentifier, "files");
  EXPECT_EQ(manager->name, "Files");
  EXPECT_EQ(manager->icon, "folder");

  // The user's choice of an entry that is not installed is passed over for the next one that is.
  test::writeText(temp_.path() / "config" / "mimeapps.list",
                  "[Default Applications]\ninode/directory=gone.desktop;commander.desktop\n");
  EXPECT_EQ(source().fileManager()->name, "Commander");
}

TEST_F(FileManagerSourceTest, NoneWhereNothingOpensFolders) {
  fs::remove(temp_.path() / "data" / "applications" / "files.desktop");
  fs::remove(temp_.path() / "data" / "applications" / "commander.desktop");
  EXPECT_FALSE(source().fileManager());
  ASSERT_TRUE(source().pathForIdentifier("editor"));
  EXPECT_EQ(*source().pathForIdentifier("editor"), (temp_.path() / "data" / "applications" / "editor.desktop").string());
  EXPECT_FALSE(source().pathForIdentifier("gone"));
}

}  // namespace
}  // namespace tilvane::apps
