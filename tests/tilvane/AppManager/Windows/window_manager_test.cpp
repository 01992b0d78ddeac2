#include <gtest/gtest.h>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Windows/WindowManager.h"
#include "Layout/LayoutManager.h"
#include "support/windows/WindowWorld.h"

namespace tilvane {
namespace {

class WindowManagerTest : public test::WindowWorld {
 protected:
  WindowManagerTest() {
    startManagers();
    log.clear();
  }
  // A tracked application with the given windows, already past its start-up step.
  std::vector<AXUIElement> tracked(std::vector<sim::SimWindowConfig> windows, std::string bundle = "org.example.Editor") {
    const pid_t pid = apps().addApplication({.bundleIdentifier = bundle, .windows = std::move(windows)});
    ApplicationManager::shared().addApplication(SIApplication(pid));
    return apps().windowsOf(pid);
  }
  WindowManager& manager() { return WindowManager::shared(); }
  std::size_t items() const { return LayoutManager::shared().layoutItems().size(); }
};

TEST_F(WindowManagerTest, WindowsOfTrackedApplicationsAreAdmittedOnceWithTheirCountInTheLogOthersDropped) {
  const pid_t pid = apps().addApplication({.bundleIdentifier = "org.example.Untracked", .windows = {{}}});
  manager().addWindow(SIWindow(apps().windowsOf(pid).front()));
  manager().addWindow(std::nullopt);
  manager().removeWindow(std::nullopt);
  EXPECT_TRUE(log.lines().empty());
  const auto windows = tracked({{.title = "Notes"}, {}});
  manager().addWindow(SIWindow(windows[0]));
  manager().addWindow(SIWindow(windows[0]));
  manager().addWindow(SIWindow(windows[1]));
  EXPECT_EQ(manager().windows().size(), 2u);
  EXPECT_EQ(items(), 2u);
  EXPECT_EQ(logLines("window("), (std::vector<std::string>{"ℹ️ add window(1), org.example.Editor, Notes",
                                                    "ℹ️ add window(2), org.example.Editor, "}));
  manager().removeWindow(SIWindow(windows[1]));
  EXPECT_TRUE(log.contains("remove window(1), org.example.Editor, "));
  EXPECT_EQ(items(), 1u);
  // A window the layout manager holds but this manager never admitted is still let go there, silently.
  const auto mail = tracked({{}}, "org.example.Mail");
  LayoutManager::shared().addWindow(SIWindow(mail[0]));
  log.clear();
  manager().removeWindow(SIWindow(mail[0]));
  EXPECT_EQ(items(), 1u);
  EXPECT_TRUE(log.lines().empty());
}

TEST_F(WindowManagerTest, AClosedWindowIsRemovedAndNoLongerObservedAndRemoveWindowsDropsAllSilently) {
  const auto windows = tracked({{.title = "Notes"}, {}, {}});
  for (const auto& w : windows) manager().addWindow(SIWindow(w));
  EXPECT_TRUE(apps().isObserved(windows[0].pid, "AXUIElementDestroyed", windows[0]));
  apps().closeWindow(windows[0]);
  drain();
  EXPECT_EQ(items(), 2u);
  log.clear();
  manager().removeWindows();
  EXPECT_TRUE(manager().windows().empty());
  EXPECT_EQ(items(), 0u);
  EXPECT_TRUE(log.lines().empty());
  for (const auto& w : windows) EXPECT_FALSE(apps().isObserved(w.pid, "AXUIElementDestroyed", w));
}

TEST_F(WindowManagerTest, LoadingAdmitsTheNewlyVisibleWindowsAndSkipsProcessesWhoseWindowsCannotBeRead) {
  const std::string second = sim().addSpace();
  const auto windows = tracked({{.title = "here"}, {.title = "there", .spaceUuid = second}});
  const auto failing = tracked({{}}, "org.example.A");
  const auto empty = tracked({{}}, "org.example.B");
  const auto odd = tracked({{}}, "org.example.C");
  apps().setWindowsRead(failing[0].pid, sim::SimWindowsRead::fails);
  apps().setWindowsRead(empty[0].pid, sim::SimWindowsRead::nothing);
  apps().setWindowsRead(odd[0].pid, sim::SimWindowsRead::otherKind);
  manager().loadWindows();
  ASSERT_EQ(manager().windows(), std::vector<SIWindow>{SIWindow(windows[0])});
  sim().switchToSpace(second);
  manager().loadWindows();
  EXPECT_EQ(manager().windows(), (std::vector<SIWindow>{SIWindow(windows[0]), SIWindow(windows[1])}));

  // Without the window server's list, or with entries that name no process, nothing more is loaded.
  tracked({{}}, "org.example.E");
  apps().scriptWindowList(std::nullopt);
  manager().loadWindows();
  apps().scriptWindowList(std::vector<CGWindowInfo>{{.windowNumber = 7}});
  manager().loadWindows();
  EXPECT_EQ(manager().windows().size(), 2u);
}

TEST_F(WindowManagerTest, IndexOfWindowCountsTheApplicationsWindowsOnTheSameDisplay) {
  sim().addDisplay({.frame = CGRectMake(1440, 0, 1440, 900)});
  const auto windows = tracked({{.frame = CGRectMake(10, 30, 400, 300)},
                                {.frame = CGRectMake(1500, 30, 400, 300)},
                                {.frame = CGRectMake(500, 30, 400, 300)}});
  const auto other = tracked({{.frame = CGRectMake(20, 30, 400, 300)}}, "org.example.Mail");
  for (const auto& w : windows) manager().addWindow(SIWindow(w));
  manager().addWindow(SIWindow(other[0]));
  EXPECT_EQ(manager().indexOfWindow(SIWindow(windows[0])), 0);
  EXPECT_EQ(manager().indexOfWindow(SIWindow(windows[1])), 0);
  EXPECT_EQ(manager().indexOfWindow(SIWindow(windows[2])), 1);
  EXPECT_EQ(manager().indexOfWindow(SIWindow(other[0])), 0);
}

}  // namespace
}  // namespace tilvane
