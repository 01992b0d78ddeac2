#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "Models/AutoLayoutModel.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class ApplicationManagerTest : public test::WindowWorld {
 protected:
  static sim::SimApplicationConfig editor(std::vector<sim::SimWindowConfig> windows = {{.title = "A"}, {.title = "B"}}) {
    return {.bundleIdentifier = "org.example.Editor", .name = "Editor", .windows = std::move(windows)};
  }
  ApplicationManager& manager() { return ApplicationManager::shared(); }
  const std::vector<SIWindow>& managed() { return WindowManager::shared().windows(); }
};

TEST_F(ApplicationManagerTest, EachApplicationsWindowsAreAdmittedOneSecondLaterAtTheirRememberedFrames) {
  const pid_t pid = apps().addApplication(editor());
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 0.5));
  startManagers();
  const auto windows = apps().windowsOf(pid);
  advance(0.5);
  apps().launchApplication({.bundleIdentifier = "org.example.Mail", .windows = {{.title = "Inbox"}}});
  advance(0.499);
  EXPECT_TRUE(managed().empty());
  advance(0.001);
  EXPECT_EQ(logLines("add window("), (std::vector<std::string>{"ℹ️ add window(1), org.example.Editor, A",
                                                             "ℹ️ add window(2), org.example.Editor, B"}));
  drain();
  EXPECT_EQ(frameOf(windows[0]), CGRectMake(720, 23, 720, 877));
  EXPECT_EQ(frameOf(windows[1]), CGRectMake(0, 23, 720, 438.5));
  advance(0.499);
  EXPECT_EQ(managed().size(), 2u);
  advance(0.001);  // the launched one has its own second
  EXPECT_EQ(managed().size(), 3u);
}

TEST_F(ApplicationManagerTest, CreatedWindowsAreRememberedEvenWhenRejectedAndDeminiaturisingAdmitsWhatIsNotHeld) {
  const pid_t pid = apps().addApplication(editor({{.title = "A"}, {.title = "B", .minimized = true}}));
  startManagers();
  advance(1.0);
  const auto windows = apps().windowsOf(pid);
  const AXUIElement dialog = apps().createWindow(pid, {.title = "Save", .subrole = std::string("AXDialog")});
  drain();
  EXPECT_EQ(managed(), std::vector<SIWindow>{SIWindow(windows[0])});
  EXPECT_EQ(manager().lastCreatedWindow(), SIWindow(dialog));
  const AXUIElement document = apps().createWindow(pid, {.title = "Notes"});
  drain();
  EXPECT_EQ(manager().lastCreatedWindow(), SIWindow(document));

  apps().minimizeWindow(windows[0]);
  apps().deminiaturizeWindow(windows[0]);
  apps().deminiaturizeWindow(windows[1]);
  drain();
  EXPECT_EQ(managed(), (std::vector<SIWindow>{SIWindow(windows[0]), SIWindow(document), SIWindow(windows[1])}));
  EXPECT_EQ(log.count("add window("), 3u);
  apps().closeWindow(document);
  EXPECT_EQ(manager().lastCreatedWindow(), std::nullopt);  // a closed window is nobody's to take
}

TEST_F(ApplicationManagerTest, OnlyApplicationsOfInterestAreTrackedAndAQuitRemovesTheApplicationWithItsWindows) {
  const pid_t pid = apps().addApplication(editor());
  const pid_t mail = apps().addApplication({.bundleIdentifier = "org.example.Mail", .windows = {{.title = "Inbox"}}});
  apps().addApplication({.bundleIdentifier = "org.example.Tray", .agent = true, .windows = {{}}});
  const pid_t helper = apps().addApplication({.bundleIdentifier = "com.apple.QuickTimePlayerX", .windows = {{}}});
  apps().addApplication({.windows = {{}}});
  startManagers();
  advance(1.0);
  ASSERT_EQ(manager().apps().size(), 2u);
  ASSERT_EQ(managed().size(), 3u);
  log.clear();
  apps().quitApplication(pid);
  drain();
  // The process is gone, so neither its identifier nor its windows' titles can be read any more: the lines name
  // the windows as they were when admitted.
  EXPECT_EQ(logLines("window("), (std::vector<std::string>{"ℹ️ remove window(2), org.example.Editor, A",
                                                    "ℹ️ remove window(1), org.example.Editor, B"}));
  EXPECT_EQ(LayoutManager::shared().layoutItems().size(), 1u);
  ASSERT_EQ(manager().apps().size(), 1u);
  EXPECT_EQ(manager().apps()[0].processIdentifier(), mail);

  // Quits of nothing or of untracked applications only log.
  log.clear();
  apps().notifyTerminate({});
  apps().quitApplication(helper);
  drain();
  EXPECT_EQ(log.lines(), (std::vector<std::string>{"ℹ️ did quit app", "ℹ️ did quit app"}));
  // An agent launched later is tracked; an application that quits before its windows' step gets nothing.
  apps().launchApplication({.bundleIdentifier = "org.example.Tray2", .agent = true, .windows = {{}}});
  const pid_t brief = apps().launchApplication({.bundleIdentifier = "org.example.Brief", .windows = {{}}});
  drain();
  apps().quitApplication(brief);
  advance(1.0);
  EXPECT_EQ(manager().apps().size(), 2u);
  EXPECT_EQ(managed().size(), 2u);
  EXPECT_EQ(log.count("did launch app"), 2u);
}

TEST_F(ApplicationManagerTest, ARelaunchedApplicationsWindowsFindTheirSlotsAgain) {
  storeRecord("org.example.Editor", 0, CGRectMake(0.5, 0, 0.5, 1));
  storeRecord("org.example.Editor", 1, CGRectMake(0, 0, 0.5, 1));
  const pid_t pid = apps().addApplication(editor());
  startManagers();
  advance(1.0);
  apps().quitApplication(pid);
  drain();
  // The running application is gone when its windows are let go; their indexes must still come back.
  const pid_t again = apps().launchApplication(editor({{.title = "A"}}));
  advance(1.0);
  ASSERT_EQ(managed().size(), 1u);
  EXPECT_EQ(managed()[0].processIdentifier(), again);
  EXPECT_EQ(frameOf(apps().windowsOf(again)[0]), CGRectMake(720, 23, 720, 877));
}

}  // namespace
}  // namespace tilvane
