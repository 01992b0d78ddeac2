#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cmath>
#include <filesystem>
#include <fstream>
#include <limits>

#include "AppManager/Logging/LogManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/defaults/UserDefaults.h"
#include "support/TestEnvironment.h"

namespace tilvane::defaults {
namespace {

namespace fs = std::filesystem;

class UserDefaultsTest : public test::WorldTest {
 protected:
  fs::path file() const { return tempDir() / "config" / "Tilvane" / "defaults.plist"; }

  void writeRaw(const std::string& bytes) const {
    fs::create_directories(file().parent_path());
    std::ofstream(file(), std::ios::binary) << bytes;
  }

  std::vector<std::string> folderEntries() const {
    std::vector<std::string> names;
    for (const auto& e : fs::directory_iterator(file().parent_path())) names.push_back(e.path().filename().string());
    return names;
  }

  LogManager::Capture log_;
};

TEST_F(UserDefaultsTest, EveryTypeIsWrittenAtOnceAndReadBackUnchanged) {
  const Dictionary shortcut{{"keyCode", Value(18)}, {"modifierFlags", Value(0x100000)}};
  {
    UserDefaults d(file());
    d.setInteger("negative", -5);
    d.setInteger("max", std::numeric_limits<std::int64_t>::max());
    d.setInteger("min", std::numeric_limits<std::int64_t>::min());
    d.setBool("yes", true);
    d.setBool("no", false);
    d.setDouble("tenth", 0.1);
    d.setDouble("infinite", std::numeric_limits<double>::infinity());
    d.setString("text", "a<b & \"c\" \xC3\xA9 \xF0\x9F\x94\xB4");
    d.setString("empty", "");
    d.setObject("bytes", Data{0, 1, 0, 255});
    d.setObject("list", Array{Value(1), Value("two"), Value(Array{})});
    d.setObject("shortcut", shortcut);
    // No synchronize(): each change is already on disk.
  }
  EXPECT_NE(test::readFile(file()).find("<plist"), std::string::npos);

  const UserDefaults d(file());
  EXPECT_EQ(d.integerForKey("negative"), -5);
  EXPECT_EQ(d.integerForKey("max"), std::numeric_limits<std::int64_t>::max());
  EXPECT_EQ(d.integerForKey("min"), std::numeric_limits<std::int64_t>::min());
  EXPECT_EQ(d.objectForKey("yes"), Value(true));
  EXPECT_EQ(d.objectForKey("no"), Value(false));
  EXPECT_EQ(d.doubleForKey("tenth"), 0.1);
  EXPECT_EQ(d.doubleForKey("infinite"), std::numeric_limits<double>::infinity());
  EXPECT_EQ(d.stringForKey("text"), "a<b & \"c\" \xC3\xA9 \xF0\x9F\x94\xB4");
  EXPECT_EQ(d.stringForKey("empty"), "");
  EXPECT_EQ(d.dataForKey("bytes"), (Data{0, 1, 0, 255}));
  EXPECT_EQ(d.arrayForKey("list"), (Array{Value(1), Value("two"), Value(Array{})}));
  EXPECT_EQ(d.dictionaryForKey("shortcut"), shortcut);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"defaults.plist"});  // no temporary file left behind
  EXPECT_EQ(log_.lines().size(), 0u);
}

TEST_F(UserDefaultsTest, AbsentKeysReadAsZeroFalseAndNothing) {
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("launchAtLogin"), std::nullopt);
  EXPECT_EQ(d.integerForKey("launchAtLogin"), 0);
  EXPECT_FALSE(d.boolForKey("gutterEnabled"));
  EXPECT_EQ(d.doubleForKey("x"), 0.0);
  EXPECT_EQ(d.stringForKey("x"), std::nullopt);
  EXPECT_EQ(d.dictionaryForKey("x"), std::nullopt);
  EXPECT_FALSE(fs::exists(file()));  // reading creates nothing
}

TEST_F(UserDefaultsTest, RemovalIsWrittenAtOnce) {
  {
    UserDefaults d(file());
    d.setInteger("a", 1);
    d.setInteger("b", 2);
    d.removeObjectForKey("a");
    d.removeObjectForKey("never-there");
  }
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("a"), std::nullopt);
  EXPECT_EQ(d.integerForKey("b"), 2);
}

TEST_F(UserDefaultsTest, StandardDefaultsLiveInTheConfigFolderAndStartAfreshAfterAReset) {
  EXPECT_EQ(UserDefaults::standard().filePath(), file());
  UserDefaults::standard().setInteger("hideInMenuBar", 1);
  SharedInstances::resetAll();
  EXPECT_EQ(UserDefaults::standard().integerForKey("hideInMenuBar"), 1);  // read back from the file
  fs::remove(file());
  SharedInstances::resetAll();
  EXPECT_EQ(UserDefaults::standard().integerForKey("hideInMenuBar"), 0);  // nothing kept in memory
}

// Files that are not a dictionary property list, or are not ours.
struct Damage {
  const char* name;
  std::string bytes;
};
void PrintTo(const Damage& d, std::ostream* os) { *os << d.name; }

class DamagedDefaultsFile : public UserDefaultsTest, public testing::WithParamInterface<Damage> {};

TEST_P(DamagedDefaultsFile, GivesDefaultsLogsAnErrorAndIsKeptUntilTheNextWrite) {
  writeRaw(GetParam().bytes);
  UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("autoLayoutEnabled"), std::nullopt);
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 0);
  ASSERT_EQ(log_.lines().size(), 1u);
  EXPECT_EQ(log_.lines()[0].rfind("\U0001F534 UserDefaults: ", 0), 0u) << log_.lines()[0];

  // Reading and synchronising with nothing changed leave the file as it was.
  EXPECT_TRUE(d.synchronize());
  EXPECT_EQ(test::readFile(file()), GetParam().bytes);

  d.setInteger("hideInMenuBar", 1);
  const UserDefaults next(file());
  EXPECT_EQ(next.integerForKey("hideInMenuBar"), 1);
  EXPECT_EQ(log_.lines().size(), 1u);  // the rewritten file reads cleanly
}

std::string deeplyNested() {
  std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>deep</key>";
  for (int i = 0; i < 200; ++i) xml += "<array>";
  for (int i = 0; i < 200; ++i) xml += "</array>";
  return xml + "</dict></plist>";
}

INSTANTIATE_TEST_SUITE_P(
    Contents, DamagedDefaultsFile,
    testing::Values(Damage{"Empty", ""}, Damage{"NotAPropertyList", "not a property list <<<"},
                    Damage{"CutShort", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key>"
                                       "<integer>1</integer>"},
                    Damage{"RootIsAnArray", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer>"
                                            "</array></plist>"},
                    Damage{"NestedTooDeeply", deeplyNested()}),
    [](const testing::TestParamInfo<Damage>& info) { return std::string(info.param.name); });

TEST_F(UserDefaultsTest, OversizedFileIsNotRead) {
  writeRaw(std::string(17 * 1024 * 1024, ' '));
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("x"), std::nullopt);
  EXPECT_TRUE(log_.contains("larger than"));
}

TEST_F(UserDefaultsTest, UnreadableFileGivesDefaultsAndIsNotReplacedUntilAWrite) {
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key><integer>1</integer>"
           "</dict></plist>");
  fs::permissions(file(), fs::perms::none);

  // Root reads any file: the settings are used in a child that gives up root first, owning the test's folders.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    if (geteuid() == 0) {
      constexpr uid_t kNobody = 65534;
      std::error_code error;
      for (const auto& entry : fs::recursive_directory_iterator(tempDir(), error))
        if (::lchown(entry.path().c_str(), kNobody, kNobody) != 0) _exit(3);
      if (error || ::chown(tempDir().c_str(), kNobody, kNobody) != 0) _exit(3);
      if (setgid(kNobody) != 0 || setuid(kNobody) != 0) _exit(3);
    }
    UserDefaults d(file());
    if (d.integerForKey("hideInMenuBar") != 0) _exit(4);
    if (!log_.contains("cannot read the settings")) _exit(5);
    if (!d.synchronize() || fs::status(file()).permissions() != fs::perms::none) _exit(6);  // untouched
    d.setInteger("launchAtLogin", 1);
    _exit(UserDefaults(file()).integerForKey("launchAtLogin") == 1 ? 0 : 7);
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0) << "3: could not give up root, 4: a value was read, 5: nothing logged, "
                                       "6: the file was replaced, 7: a write was lost";
}

TEST_F(UserDefaultsTest, FolderInPlaceOfTheFileIsReportedAndLeftAlone) {
  fs::create_directories(file() / "inside");
  UserDefaults d(file());
  EXPECT_TRUE(log_.contains("is not a regular file"));
  d.setInteger("hideInMenuBar", 1);
  EXPECT_TRUE(log_.contains("cannot save the settings"));
  EXPECT_FALSE(d.synchronize());
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 1);  // kept in memory for the session
  EXPECT_TRUE(fs::is_directory(file() / "inside"));
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"defaults.plist"});  // the failed write left nothing
}

TEST_F(UserDefaultsTest, FailedWriteIsRetriedBySynchronize) {
  // A file where the Tilvane folder should be stops the folder from being made.
  fs::create_directories(file().parent_path().parent_path());
  std::ofstream(file().parent_path()) << "blocker";
  UserDefaults d(file());
  d.setInteger("autoLayoutEnabled", 0);
  EXPECT_FALSE(d.synchronize());
  EXPECT_TRUE(log_.contains("cannot save the settings"));

  fs::remove(file().parent_path());
  EXPECT_TRUE(d.synchronize());
  EXPECT_EQ(UserDefaults(file()).objectForKey("autoLayoutEnabled"), Value(0));
}

TEST_F(UserDefaultsTest, EntriesOfForeignTypesAreSkipped) {
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict>"
           "<key>when</key><date>2024-03-05T12:00:00Z</date>"
           "<key>hideInMenuBar</key><integer>1</integer></dict></plist>");
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("when"), std::nullopt);
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 1);
  EXPECT_EQ(log_.lines().size(), 0u);
}

}  // namespace
}  // namespace tilvane::defaults
