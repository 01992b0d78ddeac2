#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "FakeBundles.h"
#include "platform/apps/BundleFolderSource.h"
#include "platform/apps/BundleReader.h"
#include "platform/apps/BundleScan.h"
#include "support/TestEnvironment.h"

namespace tilvane::apps {
namespace {

using defaults::Dictionary;
using test::makeBundle;
using test::PlistFormat;

class BundleSourceTest : public ::testing::Test {
 protected:
  std::string folder() const { return (temp_.path() / "Applications").string(); }
  std::string bundle(const std::string& name) const { return folder() + "/" + name; }
  void make(const std::string& name, const Dictionary& info, PlistFormat format = PlistFormat::xml) {
    makeBundle(bundle(name), info, format);
  }

  test::ScopedTempDir temp_;
};

TEST_F(BundleSourceTest, ScanFindsBundlesOneFolderDownAndNoDeeper) {
  make("Mail.app", {{"CFBundleIdentifier", "com.example.mail"}});
  make("Foo.APP", {});
  make("Utilities/Terminal.app", {});
  make("Tools/Sub/X.app", {});
  make("Tools/Y.app", {});
  test::writeText(bundle("Empty/.keep"), "");
  test::writeText(bundle("Notes.txt"), "");
  test::writeText(bundle("Plain.app"), "a file, not a folder");

  EXPECT_EQ(scanApplicationsFolder(folder()),
            (std::vector<std::string>{"Foo.APP", "Mail.app", "Plain.app", "Tools/Y.app", "Utilities/Terminal.app"}));
  EXPECT_TRUE(scanApplicationsFolder(folder() + "/Missing").empty());
}

TEST_F(BundleSourceTest, OnlyABooleanTrueMakesAnAgent) {
  make("Agent.app", {{"LSUIElement", true}});
  make("Text.app", {{"LSUIElement", "1"}});
  make("False.app", {{"LSUIElement", false}});
  make("Binary.app", {{"LSUIElement", true}}, PlistFormat::binary);
  test::writeText(bundle("Broken.app/Contents/Info.plist"), "<plist><dict><key>LSUIElement</key><true/>");

  EXPECT_TRUE(isAgentBundle(bundle("Agent.app")));
  EXPECT_TRUE(isAgentBundle(bundle("Binary.app")));
  EXPECT_FALSE(isAgentBundle(bundle("Text.app")));
  EXPECT_FALSE(isAgentBundle(bundle("False.app")));
  EXPECT_FALSE(isAgentBundle(bundle("Broken.app")));
  EXPECT_FALSE(isAgentBundle(bundle("Missing.app")));

  const BundleFolderSource source(folder());
  EXPECT_EQ(source.applicationPaths(),
            (std::vector<std::string>{bundle("Broken.app"), bundle("False.app"), bundle("Text.app")}));
}

TEST_F(BundleSourceTest, DescriptionAndIconNames) {
  make("Plain.app", {{"CFBundleName", "Plain"}, {"CFBundleIdentifier", "com.example.plain"},
                     {"CFBundleIconFile", "AppIcon"}});
  make("Bare.app", {{"CFBundleName", 42}, {"CFBundleIdentifier", 7}});
  EXPECT_EQ(readBundle(bundle("Plain.app")), (InstalledApplication{"Plain", "com.example.plain",
                                                                  bundle("Plain.app") + "/Contents/Resources/AppIcon.icns"}));
  // Names and identifiers that are not texts: the folder's name, and no identifier.
  EXPECT_EQ(readBundle(bundle("Bare.app")),
            (InstalledApplication{"Bare", "", bundle("Bare.app") + "/Contents/Resources/.icns"}));
  EXPECT_EQ(readBundle(bundle("Bare.app") + "/")->name, "Bare");
  EXPECT_EQ(readBundle(bundle("Missing.app")), std::nullopt);
  EXPECT_EQ(bundleIconPath(bundle("Bare.app")), std::nullopt);  // no icon declared

  const std::pair<const char*, const char*> icons[] = {
      {"AppIcon.icns", "AppIcon.icns"}, {"AppIcon.png", "AppIcon.png.icns"}, {"AppIcon.ICNS", "AppIcon.ICNS.icns"}};
  for (const auto& [declared, file] : icons) {
    make("Icon.app", {{"CFBundleIconFile", declared}}, PlistFormat::binary);
    EXPECT_EQ(bundleIconPath(bundle("Icon.app")), bundle("Icon.app") + "/Contents/Resources/" + file) << declared;
  }
}

TEST_F(BundleSourceTest, OversizedOrNonDictionaryPropertyListsAreUnreadable) {
  test::writeText(bundle("Array.app/Contents/Info.plist"),
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
  test::writeText(bundle("Huge.app/Contents/Info.plist"), std::string(5 * 1024 * 1024, ' '));
  EXPECT_EQ(readInfoPlist(bundle("Array.app")), std::nullopt);
  EXPECT_EQ(readInfoPlist(bundle("Huge.app")), std::nullopt);
}

}  // namespace
}  // namespace tilvane::apps
