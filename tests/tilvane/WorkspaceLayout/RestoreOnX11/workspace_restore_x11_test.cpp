// A saved workspace of two real windows restored on the test desktop (one 1920x1080 monitor, visible frame
// (0, 0, 1920, 1056) in the window space, four desktops): one application runs, the other is only a desktop
// entry and is started by the restore. The restore's own delays run on the virtual clock; between its steps
// the test waits, in real time, for what the X server and the started program do.
#include <gtest/gtest.h>
#include <signal.h>

#include <filesystem>
#include <fstream>

#include "Models/WorkspaceLayoutGroupModel.h"
#include "Models/WorkspaceLayoutItemModel.h"
#include "platform/desktop/WindowBundleIdentifier.h"
#include "platform/desktop/x11/e2e/TilvaneOnX11.h"
#include "tilvane/WorkspaceLayout/WorkspaceItem.h"

namespace tilvane::test::x11 {
namespace {

constexpr const char* kNotesId = "org.tilvane.TestNotes";

class WorkspaceRestoreOnX11Test : public TilvaneOnX11Test {
 protected:
  WorkspaceRestoreOnX11Test() {
    // The entry must exist before the backend first reads the desktop entries.
    const auto folder = tempDir() / "data" / "applications";
    std::filesystem::create_directories(folder);
    std::ofstream(folder / (std::string(kNotesId) + ".desktop"))
        << "[Desktop Entry]\nType=Application\nName=Test Notes\nStartupWMClass=TilvaneNotes\n"
        << "Exec=\"" << TILVANE_TESTCLIENT_PATH << "\" --class notes,TilvaneNotes --title Notes\n";
  }

  /// Advances the virtual clock to `t` seconds after `start_`, 50 ms at a time, delivering what X sent between.
  void runUntil(double t) {
    while (loop().elapsed() - start_ < t - 1e-9) {
      advance(std::min(0.05, t - (loop().elapsed() - start_)));
      waitUntil([] { return true; });
    }
  }
  bool focusedIs(const std::string& bundle) {
    const auto window = SIWindow::focusedWindow();
    return window && bundleIdentifierOfWindow(*window) == bundle;
  }
  std::optional<std::uint32_t> windowOf(const std::string& bundle) {
    for (const SIWindow& w : WindowManager::shared().windows())
      if (bundleIdentifierOfWindow(w) == bundle) return w.windowID();
    return std::nullopt;
  }

  double start_ = 0;
};

TEST_F(WorkspaceRestoreOnX11Test, ARunningWindowAndAStartedOneEndOnTheirDesktopsAndRectangles) {
  startTilvane();
  auto& alpha = launchClient({"--class", "alpha,TilvaneAlpha", "--title", "Alpha"});
  ASSERT_TRUE(waitUntil([&] { return tracked(alpha.pid()); }));
  advance(1.0);
  ASSERT_TRUE(waitUntil([&] { return managed(alpha.window()); }));
  advance(3.0);

  auto group = std::make_shared<WorkspaceLayoutGroupModel>();
  group->setItems({workspaceItem("TilvaneAlpha", 1, CGRectMake(0, 0, 0.5, 0.5)),
                   workspaceItem(kNotesId, 2, CGRectMake(0.5, 0.5, 0.5, 0.5))});
  start_ = loop().elapsed();
  LayoutManager::shared().layoutWorkspace(*group);

  // Desktops 2 to 4 are visited, one a second.
  runUntil(3.99);
  ASSERT_TRUE(waitUntil([&] { return desktop().desktops().current == 3u; }));
  // Then desktop 2 (the first item's) is shown, and the running application is brought forward (its desktop
  // shown) and taken; its window goes to desktop 2 and its rectangle.
  runUntil(4.0);
  ASSERT_TRUE(waitUntil([&] { return focusedIs("TilvaneAlpha"); }));
  runUntil(5.3);
  ASSERT_TRUE(waitUntil([&] { return desktop().windowDesktop(alpha.window()) == 1u; }));
  runUntil(6.3);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(alpha.window()) == XRectangle{0, 0, 960, 528}; }))
      << *probe().frameRect(alpha.window());

  // The second application is not running: its desktop entry is started, and its window shows up focused.
  ASSERT_TRUE(waitUntil([&] { return focusedIs(kNotesId); }, 10.0));
  const auto notes = windowOf(kNotesId);
  ASSERT_TRUE(notes);
  runUntil(7.6);
  ASSERT_TRUE(waitUntil([&] { return desktop().windowDesktop(*notes) == 2u; }));
  runUntil(8.6);
  ASSERT_TRUE(waitUntil([&] { return probe().frameRect(*notes) == XRectangle{960, 528, 960, 528}; }))
      << *probe().frameRect(*notes);
  EXPECT_FALSE(LayoutManager::shared().workspaceRunning());
  EXPECT_EQ(desktop().windowDesktop(alpha.window()), 1u);
  EXPECT_EQ(probe().frameRect(alpha.window()), (XRectangle{0, 0, 960, 528}));

  // The started program belongs to the test's clean-up: end it with the desktop entry's client.
  const auto app = SIWindow(*desktop().applications().elementOf(*notes)).app();
  ASSERT_TRUE(app);
  ::kill(app->processIdentifier(), SIGTERM);
}

}  // namespace
}  // namespace tilvane::test::x11
