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

using Paths = std::vector<std::string>;

class BundleSourceTest : public ::testing::Test {
 protected:
  std::string folder() const { return (temp_.path() / "Applications").string(); }
  std::string bundle(const std::string& name) const { return folder() + "/" + name; }
  void make(const std::string& name, const defaults::Dictionary& info) { test::makeBundle(bundle(name), info); }

  test::ScopedTempDir temp_;
};

TEST_F(BundleSourceTest, BundlesOneFolderDownAreListedLeavingOutOnlyThoseWithABooleanTrueAgentFlag) {
  make("Mail.app", {{"CFBundleIdentifier", "com.example.mail"}});
  make("Foo.APP", {});
  make("Utilities/Terminal.app", {});
  make("Tools/Sub/X.app", {});
  make("Agent.app", {{"LSUIElement", true}});
  make("Text.app", {{"LSUIElement", "1"}});
  make("False.app", {{"LSUIElement", false}});
  test::writeText(bundle("Broken.app/Contents/Info.plist"), "<plist><dict><key>LSUIElement</key><true/>");
  test::writeText(bundle("Empty/.keep"), "");
  test::writeText(bundle("Notes.txt"), "");
  test::writeText(bundle("Plain.app"), "a file, not a folder");

  EXPECT_EQ(scanApplicationsFolder(folder()),
            (Paths{"Agent.app", "Broken.app", "False.app", "Foo.APP", "Mail.app", "Plain.app", "Text.app",
                   "Utilities/Terminal.app"}));
  EXPECT_TRUE(scanApplicationsFolder(folder() + "/Missing").empty());
  EXPECT_EQ(BundleFolderSource(folder()).applicationPaths(),
            (Paths{bundle("Broken.app"), bundle("False.app"), bundle("Foo.APP"), bundle("Mail.app"),
                   bundle("Plain.app"), bundle("Text.app"), bundle("Utilities/Terminal.app")}));
}

TEST_F(BundleSourceTest, DescriptionAndIconNames) {
  make("Plain.app", {{"CFBundleName", "Plain"}, {"CFBundleIdentifier", "com.example.plain"},
                     {"CFBundleIconFile", "AppIcon"}});
  make("Bare.app", {{"CFBundleName", 42}, {"CFBundleIdentifier", 7}});
  test::writeText(bundle("Array.app/Contents/Info.plist"),
                  "<?xml version=\"1.0\"?><plist version=\"1.0\"><array><string>x</string></array></plist>");
  test::writeText(bundle("Huge.app/Contents/Info.plist"), std::string(5 * 1024 * 1024, ' '));
  EXPECT_EQ(readBundle(bundle("Plain.app")), (InstalledApplication{"Plain", "com.example.plain",
                                                                  bundle("Plain.app") + "/Contents/Resources/AppIcon.icns"}));
  // Names and identifiers that are not texts: the folder's name, and no identifier.
  EXPECT_EQ(readBundle(bundle("Bare.app")),
            (InstalledApplication{"Bare", "", bundle("Bare.app") + "/Contents/Resources/.icns"}));
  EXPECT_EQ(readBundle(bundle("Bare.app") + "/")->name, "Bare");
  EXPECT_EQ(readBundle(bundle("Missing.app")), std::nullopt);
  EXPECT_EQ(bundleIconPath(bundle("Bare.app")), std::nullopt);  // no icon declared
  EXPECT_EQ(readInfoPlist(bundle("Array.app")), std::nullopt);
  EXPECT_EQ(readInfoPlist(bundle("Huge.app")), std::nullopt);

  for (const auto& [declared, file] : {std::pair{"AppIcon.icns", "AppIcon.icns"}, {"AppIcon.png", "AppIcon.png.icns"},
                                       {"AppIcon.ICNS", "AppIcon.ICNS.icns"}}) {
    make("Icon.app", {{"CFBundleIconFile", declared}});
    EXPECT_EQ(bundleIconPath(bundle("Icon.app")), bundle("Icon.app") + "/Contents/Resources/" + file) << declared;
  }
}

}  // namespace
}  // namespace tilvane::apps
