#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <limits>
#include <plist/plist.h>

#include "AppManager/Logging/LogManager.h"
#include "platform/defaults/UserDefaults.h"
#include "support/AsNobody.h"
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
  const Dictionary values{{"max", Value(std::numeric_limits<std::int64_t>::max())},
                          {"min", Value(std::numeric_limits<std::int64_t>::min())},
                          {"yes", Value(true)},
                          {"tenth", Value(0.1)},
                          {"infinite", Value(std::numeric_limits<double>::infinity())},
                          {"text", Value("a<b & \"c\" \xC3\xA9 \xF0\x9F\x94\xB4")},
                          {"bytes", Value(Data{0, 1, 0, 255})},
                          {"list", Value(Array{Value(1), Value("two"), Value(Array{})})},
                          {"shortcut", Value(Dictionary{{"keyCode", Value(18)}, {"modifierFlags", Value(0x100000)}})}};
  {
    UserDefaults& d = UserDefaults::standard();
    EXPECT_EQ(d.filePath(), file());
    EXPECT_EQ(d.objectForKey("max"), std::nullopt);
    EXPECT_FALSE(fs::exists(file()));  // reading creates nothing
    for (const auto& [key, value] : values) d.setObject(key, value);
    d.setInteger("removed", 1);
    d.removeObjectForKey("removed");
    // No synchronize(): each change is already on disk.
  }
  const UserDefaults d(file());
  for (const auto& [key, value] : values) EXPECT_EQ(d.objectForKey(key), value) << key;
  EXPECT_EQ(d.objectForKey("removed"), std::nullopt);
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"defaults.plist"});  // no temporary file left behind
  EXPECT_EQ(log_.lines().size(), 0u);
}

std::string deeplyNested() {
  std::string xml = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>deep</key>";
  for (int i = 0; i < 200; ++i) xml += "<array>";
  for (int i = 0; i < 200; ++i) xml += "</array>";
  return xml + "</dict></plist>";
}

// Files that are not a dictionary property list, or are not ours.
TEST_F(UserDefaultsTest, ADamagedFileGivesDefaultsLogsAnErrorAndIsKeptUntilTheNextWrite) {
  const std::pair<const char*, std::string> damages[] = {
      {"empty", ""},
      {"not a property list", "not a property list <<<"},
      {"cut short", "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key><integer>1</integer>"},
      {"root is an array", "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><integer>1</integer></array></plist>"},
      {"nested too deeply", deeplyNested()},
      {"oversized", std::string(17 << 20, ' ')}};
  for (const auto& [name, bytes] : damages) {
    SCOPED_TRACE(name);
    writeRaw(bytes);
    log_.clear();
    UserDefaults d(file());
    EXPECT_EQ(d.integerForKey("hideInMenuBar"), 0);
    ASSERT_EQ(log_.lines().size(), 1u);
    EXPECT_EQ(log_.lines()[0].rfind("\U0001F534 UserDefaults: ", 0), 0u) << log_.lines()[0];
    // Reading and synchronising with nothing changed leave the file as it was.
    EXPECT_TRUE(d.synchronize());
    EXPECT_EQ(test::readFile(file()), bytes);

    d.setInteger("hideInMenuBar", 1);
    EXPECT_EQ(UserDefaults(file()).integerForKey("hideInMenuBar"), 1);
    EXPECT_EQ(log_.lines().size(), 1u);  // the rewritten file reads cleanly
  }
}

// Root reads and writes anything: the settings are used by user nobody, owning the test's folders.
TEST_F(UserDefaultsTest, AFileOrFolderThatCannotBeReadGivesDefaultsAndNeverAnException) {
  const std::string original = "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>hideInMenuBar</key>"
                               "<integer>1</integer></dict></plist>";
  for (const bool folder : {false, true}) {
    SCOPED_TRACE(folder ? "folder that cannot be searched" : "file that cannot be read");
    writeRaw(original);
    const fs::path locked = folder ? file().parent_path() : file();
    fs::permissions(locked, fs::perms::none);
    const int code = test::runAsNobody(tempDir(), [&] {
      UserDefaults d(file());
      if (d.integerForKey("hideInMenuBar") != 0) return 1;
      if (!log_.contains("cannot read the settings")) return 2;
      if (!d.synchronize()) return 3;  // nothing changed: nothing written
      d.setInteger("launchAtLogin", 1);
      if (d.integerForKey("launchAtLogin") != 1) return 4;  // kept for the session
      // A file can be replaced in its folder; a folder that cannot be searched takes nothing.
      const bool saved = UserDefaults(file()).integerForKey("launchAtLogin") == 1;
      return saved != folder && (saved || log_.contains("cannot save the settings")) ? 0 : 5;
    });
    fs::permissions(locked, fs::perms::owner_all);
    EXPECT_EQ(code, 0) << "1: a value was read, 2: nothing logged, 3: the file was replaced, 4: the value was "
                          "lost, 5: the write went wrong, 122: an exception escaped";
    if (folder) {
      EXPECT_EQ(test::readFile(file()), original);
    }
  }
}

TEST_F(UserDefaultsTest, FolderInPlaceOfTheFileIsReportedAndAFailedWriteIsRetriedBySynchronize) {
  fs::create_directories(file() / "inside");
  UserDefaults d(file());
  EXPECT_TRUE(log_.contains("is not a regular file"));
  d.setInteger("autoLayoutEnabled", 0);
  EXPECT_TRUE(log_.contains("cannot save the settings"));
  EXPECT_FALSE(d.synchronize());
  EXPECT_EQ(d.integerForKey("autoLayoutEnabled"), 0);  // kept in memory for the session
  EXPECT_EQ(folderEntries(), std::vector<std::string>{"defaults.plist"});  // the failed write left nothing
  fs::remove_all(file());
  EXPECT_TRUE(d.synchronize());
  EXPECT_EQ(UserDefaults(file()).objectForKey("autoLayoutEnabled"), Value(0));
}

TEST_F(UserDefaultsTest, AFileWhereTheFolderBelongsFailsTheWriteWithoutAnException) {
  fs::create_directories(file().parent_path().parent_path());
  std::ofstream(file().parent_path()) << "a file where the settings folder belongs";
  UserDefaults d(file());
  EXPECT_NO_THROW(d.setInteger("hideInMenuBar", 1));
  EXPECT_TRUE(log_.contains("cannot save the settings: cannot create " + file().parent_path().string()));
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 1);  // kept for the session
  EXPECT_NO_THROW(EXPECT_FALSE(d.synchronize()));
}

TEST_F(UserDefaultsTest, EntriesOfForeignTypesAreSkipped) {
  writeRaw("<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>when</key><date>2024-03-05T12:00:00Z</date>"
           "<key>hideInMenuBar</key><integer>1</integer></dict></plist>");
  const UserDefaults d(file());
  EXPECT_EQ(d.objectForKey("when"), std::nullopt);
  EXPECT_EQ(d.integerForKey("hideInMenuBar"), 1);
  EXPECT_EQ(log_.lines().size(), 0u);
}

// What a reader of the format would refuse is never written: a file other programs read stays well-formed.
bool xmllintAccepts(const fs::path& file) {
  const std::string command = "xmllint --noout '" + file.string() + "' 2>/dev/null";
  return std::system(command.c_str()) == 0;
}

TEST_F(UserDefaultsTest, TextAnXmlFileCannotHoldIsRefusedAndTheFileStaysWellFormed) {
  UserDefaults& d = UserDefaults::standard();
  d.setString("kept", "tab\tline\n \xF0\x9F\x94\xB4");
  const std::pair<std::string, Value> refused[] = {
      {std::string("remoteNotification-\x01\x02\x1b[31m"), Value("read")},
      {std::string("nul\0cut", 7), Value("read")},
      {"controlValue", Value(std::string("a\x07" "b"))},
      {"badUtf8", Value(std::string("\xC0\xAF"))},
      {"nonCharacter", Value(std::string("\xEF\xBF\xBF"))},
      {"nested", Value(Array{Value(1), Value(Dictionary{{"k\x1f", Value(1)}})})},
  };
  for (const auto& [key, value] : refused) {
    log_.clear();
    d.setObject(key, value);
    EXPECT_EQ(d.objectForKey(key), std::nullopt) << key;
    EXPECT_TRUE(log_.contains("a setting was not saved")) << key;
  }
  EXPECT_EQ(d.objectForKey("nul"), std::nullopt) << "a key cut at its NUL";
  EXPECT_TRUE(xmllintAccepts(file())) << test::readFile(file());
  EXPECT_EQ(UserDefaults(file()).stringForKey("kept"), "tab\tline\n \xF0\x9F\x94\xB4");

  // A binary file may hold anything; such an entry is not carried into the XML written at the next change.
  plist_t root = plist_new_dict();
  plist_dict_set_item(root, "bell\x07", plist_new_string("x"));
  plist_dict_set_item(root, "hideInMenuBar", plist_new_uint(1));
  char* bytes = nullptr;
  std::uint32_t length = 0;
  plist_to_bin(root, &bytes, &length);
  writeRaw(std::string(bytes, length));
  plist_to_bin_free(bytes);
  plist_free(root);
  UserDefaults binary(file());
  binary.setInteger("autoLayoutEnabled", 1);
  EXPECT_TRUE(xmllintAccepts(file())) << test::readFile(file());
  EXPECT_EQ(UserDefaults(file()).integerForKey("hideInMenuBar"), 1);
}

}  // namespace
}  // namespace tilvane::defaults
