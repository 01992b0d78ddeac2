#include "crashreporting/Kit/VRDUserDefaults.h"

#include <gtest/gtest.h>

#include <fstream>

#include "crashreporting/platform/PropertyList.h"
#include "crashreporting/support/LibraryTest.h"

namespace crashreporting {
namespace {

namespace fs = std::filesystem;

class VRDUserDefaultsTest : public test::LibraryTest {
 protected:
  VRDUserDefaultsTest() { MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("org/example.host")}}, {}}); }

  fs::path file() const { return dataHome() / "org_example.host" / "com.zizozu" / "VRDUserDefaults.plist"; }

  Dictionary fileContents() const {
    std::string error;
    return plist::decodeDictionary(tilvane::test::readFile(file()), error).value_or(Dictionary{});
  }

  /// The host's own defaults, holding `values`.
  PlistFileUserDefaults& hostDefaults(const Dictionary& values) {
    auto defaults = std::make_unique<PlistFileUserDefaults>(configHome() / "host.plist");
    for (const auto& [key, value] : values) defaults->setObject(key, value);
    EXPECT_TRUE(defaults->synchronize());
    PlistFileUserDefaults& ref = *defaults;
    SystemUserDefaults::setStandard(std::move(defaults));
    return ref;
  }
};

TEST_F(VRDUserDefaultsTest, ValuesLiveInMemoryUntilSynchronizeWritesThemWhereTheNextProcessReadsThem) {
  VRDUserDefaults& defaults = VRDUserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults.fileURL(), file());  // "/" of the bundle identifier became "_"
  defaults.setString("abc", "text");
  defaults.setBool(true, "flag");
  defaults.setObject(Value(3), "gone");
  defaults.setObject(std::nullopt, "gone");
  EXPECT_FALSE(fs::exists(file()));
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_EQ(fileContents(), (Dictionary{{"flag", Value(true)}, {"text", Value("abc")}}));

  reset();
  MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("org/example.host")}}, {}});
  VRDUserDefaults& next = VRDUserDefaults::standardUserDefaults();
  EXPECT_EQ(next.stringForKey("text"), "abc");
  EXPECT_TRUE(next.boolForKey("flag"));
  EXPECT_FALSE(next.boolForKey("text"));               // a string is no Boolean
  EXPECT_EQ(next.stringForKey("flag"), std::nullopt);  // a number is no string
  EXPECT_EQ(next.objectForKey("gone"), std::nullopt);
  next.removeAllObjects();
  EXPECT_TRUE(next.dictionaryRepresentation().empty());
  EXPECT_TRUE(log_.lines().empty());
}

TEST_F(VRDUserDefaultsTest, ADirectoryWhereTheFileBelongsIsRemovedAndTheStoreStartsEmpty) {
  fs::create_directories(file() / "inside");
  VRDUserDefaults& defaults = VRDUserDefaults::standardUserDefaults();
  EXPECT_EQ(log_.lines(), std::vector<std::string>{
                              "[Zizozu:UserDefaults] found directory where file expected. Removing conflicting "
                              "directory"});
  EXPECT_FALSE(fs::exists(file()));
  EXPECT_TRUE(defaults.dictionaryRepresentation().empty());
  defaults.setString("v", "k");
  EXPECT_TRUE(defaults.synchronize());
  EXPECT_TRUE(fs::is_regular_file(file()));
}

TEST_F(VRDUserDefaultsTest, AnUnreadableFileIsLoggedAndTheStoreStartsEmpty) {
  fs::create_directories(file().parent_path());
  std::ofstream(file()) << "garbage";
  EXPECT_TRUE(VRDUserDefaults::standardUserDefaults().dictionaryRepresentation().empty());
  EXPECT_EQ(log_.count("[Zizozu:UserDefaults] failed to read existing UserDefaults file"), 1u);
}

TEST_F(VRDUserDefaultsTest, AKeyFoundOnlyInTheHostsDefaultsIsMovedHere) {
  PlistFileUserDefaults& host = hostDefaults({{"key", Value("old")}, {"other", Value(1)}});
  VRDUserDefaults& defaults = VRDUserDefaults::standardUserDefaults();
  EXPECT_EQ(defaults.objectForKeyByMigratingFromNSUserDefaults("key"), Value("old"));
  EXPECT_EQ(fileContents(), (Dictionary{{"key", Value("old")}}));
  EXPECT_EQ(host.objectForKey("key"), std::nullopt);
  EXPECT_EQ(PlistFileUserDefaults(configHome() / "host.plist").objectForKey("key"), std::nullopt);  // on disk too
  EXPECT_EQ(defaults.objectForKeyByMigratingFromNSUserDefaults("missing"), std::nullopt);
  EXPECT_EQ(defaults.objectForKeyByMigratingFromNSUserDefaults(""), std::nullopt);

  // A key here already is answered from here; the host's value stays where it is.
  host.setObject("other", Value(2));
  defaults.setObject(Value(5), "other");
  EXPECT_EQ(defaults.objectForKeyByMigratingFromNSUserDefaults("other"), Value(5));
  EXPECT_EQ(host.objectForKey("other"), Value(2));

  // Whereas migrateFromNSUserDefaults overwrites, then removes every listed key there.
  defaults.migrateFromNSUserDefaults({"other", "absent"});
  EXPECT_EQ(defaults.objectForKey("other"), Value(2));
  EXPECT_EQ(host.objectForKey("other"), std::nullopt);
}

TEST_F(VRDUserDefaultsTest, AKeyIsLeftInTheHostsDefaultsWhenOurFileCannotBeWritten) {
  PlistFileUserDefaults& host = hostDefaults({{"key", Value("old")}});
  // A plain file where our folder belongs: neither the folder nor the file can be made.
  fs::create_directories(file().parent_path().parent_path());
  std::ofstream(file().parent_path()) << "in the way";
  VRDUserDefaults& defaults = VRDUserDefaults::standardUserDefaults();

  EXPECT_EQ(defaults.objectForKeyByMigratingFromNSUserDefaults("key"), Value("old"));
  EXPECT_EQ(host.objectForKey("key"), Value("old"));
  defaults.migrateFromNSUserDefaults({"key"});
  EXPECT_EQ(host.objectForKey("key"), Value("old"));
  EXPECT_EQ(log_.count("[Zizozu:UserDefaults] Unable to open file for writing at path " + file().string()), 2u);
}

TEST_F(VRDUserDefaultsTest, WithoutABundleIdentifierTheFolderIsLeftOut) {
  EXPECT_EQ(VRDUserDefaults::generateDirectoryURLForBaseURL("/base", std::nullopt), fs::path("/base/com.zizozu"));
  MainBundle::clear();
  EXPECT_EQ(VRDUserDefaults::getEscapedAppBundleIdentifier(), std::nullopt);
  MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("a/b/c")}}, {}});
  EXPECT_EQ(VRDUserDefaults::getEscapedAppBundleIdentifier(), "a_b_c");
}

}  // namespace
}  // namespace crashreporting
