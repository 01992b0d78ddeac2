#include <gtest/gtest.h>

#include "AppManager/Windows/LayoutableWindow.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class LayoutableWindowTest : public test::WindowWorld {
 protected:
  bool layoutable(std::optional<std::string> bundle, sim::SimWindowConfig config) {
    const pid_t pid = apps().addApplication({.bundleIdentifier = std::move(bundle), .windows = {config}});
    return isLayoutableWindow(SIWindow(apps().windowsOf(pid).front()));
  }
};

TEST_F(LayoutableWindowTest, StandardMovableWindowsOnADisplayOfNamedApplicationsQualifyButSystemDialogs) {
  EXPECT_TRUE(layoutable("org.example.Editor", {.title = "Notes"}));
  EXPECT_TRUE(layoutable("org.example.Editor", {}));
  EXPECT_FALSE(layoutable("org.example.Editor", {.subrole = std::string("AXDialog")}));
  EXPECT_FALSE(layoutable("org.example.Editor", {.subrole = std::nullopt}));
  EXPECT_FALSE(layoutable("org.example.Editor", {.movable = false}));
  EXPECT_FALSE(layoutable("org.example.Editor", {.frame = CGRectMake(5000, 5000, 100, 100)}));
  EXPECT_FALSE(layoutable(std::nullopt, {}));
  EXPECT_FALSE(layoutable("app.tilvane.Tilvane", {.title = "Preferences"}));
  // System dialogs are kept out.
  EXPECT_FALSE(layoutable("com.apple.finder", {.title = "Report.pdf Info"}));
  EXPECT_TRUE(layoutable("com.apple.finder", {.title = " Info"}));
  EXPECT_TRUE(layoutable("com.apple.finder", {.title = "Information"}));
  EXPECT_FALSE(layoutable("com.apple.QuickTimePlayerX", {.title = "Open"}));
  EXPECT_FALSE(layoutable("com.apple.QuickTimePlayerX", {.title = "Screen Recording"}));
  EXPECT_TRUE(layoutable("com.apple.QuickTimePlayerX", {.title = "Holiday.mov"}));
  EXPECT_FALSE(layoutable("com.apple.systempreferences", {.title = "Displays"}));
  EXPECT_FALSE(layoutable("com.apple.systempreference", {.title = "Displays"}));
}

TEST_F(LayoutableWindowTest, AWindowThatIsGoneDoesNotQualify) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  const AXUIElement window = apps().windowsOf(pid).front();
  apps().closeWindow(window);
  EXPECT_FALSE(isLayoutableWindow(SIWindow(window)));
}

}  // namespace
}  // namespace tilvane
