#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"
#include "support/x11/TestClient.h"
#include "support/x11/TestProcesses.h"
#include "support/x11/XProbe.h"

namespace tilvane::test::x11 {

/// The display of the test desktop this process was started for: the one the ctest fixture started and named
/// in TILVANE_TEST_DESKTOP (a state folder). Absent, with the reason in `why`, when there is none or when the
/// display lacks the fixture's token on its root window, so tests never run against a real desktop.
std::optional<std::string> findTestDisplay(std::string* why);

/// Tells `loop` of every file descriptor of this process that has data to read, as a real main loop's poll
/// over its watched descriptors would (the virtual loop calls only the watchers registered for them).
void notifyReadableDescriptors(dispatch::VirtualMainLoop& loop);

/// The base fixture of X tests: a fresh world (WorldTest: virtual main loop, temporary XDG folders, fresh shared
/// instances) plus the test desktop. DISPLAY points at the test desktop for the test's lifetime, so the code
/// under test and every child process use it. A test without a test desktop fails in SetUp.
///
/// The X server is real, so its effects arrive on its own time: waitUntil() polls a condition, pumping the main
/// loop's watchers of the X connection (see setPump) between checks, with a generous deadline.
///
/// Tests share each desktop one after the other, so nothing one starts may reach the next: every process the test
/// starts, by any way, is ended when the fixture goes (ProcessMark), also when the test failed; SetUp ends what a
/// test process that has gone left running, starts the desktop's window manager or tray again when it has ended,
/// and closes windows no test made after naming them, so one fault fails one test and not every later one. A
/// window manager that ended while a test ran fails that test at its end, with the window manager's last lines.
class X11DesktopTest : public WorldTest {
 protected:
  X11DesktopTest();
  ~X11DesktopTest() override;
  void SetUp() override;
  void TearDown() override;

  const std::string& display() const { return display_; }
  /// The test desktop's window manager: "openbox", "icewm", "xfwm4", "xfwm4-compositor" or "fluxbox".
  const std::string& windowManager() const { return windowManager_; }
  XProbe& probe() { return *probe_; }

  /// Starts a test client (see tilvane-testclient) and keeps it until the test ends; fails the test when it
  /// cannot start.
  TestClient& launchClient(const std::vector<std::string>& args);
  /// Starts a program (an xterm, say) and keeps it until the test ends.
  ChildProcess& spawn(const std::vector<std::string>& argv);

  /// Starts a compositing manager for the rest of the test, on top of the window manager (xcompmgr: no shadows
  /// nor fades of its own); returns once it composites the screen.
  void startCompositingManager();

  /// What waitUntil runs between checks, for instance "deliver the X connection's events to the backend".
  void setPump(std::function<void()> pump) { pump_ = std::move(pump); }
  /// Polls `condition` (pumping between checks) until it holds or `seconds` of real time passed.
  bool waitUntil(const std::function<bool()>& condition, double seconds = 5.0);
  /// Whether the desktop's window manager still runs.
  bool windowManagerRuns() const { return windowManagerEnded(state_).empty(); }
  /// Waits until the window's outer frame stands at `frame` in root pixels (pumping, not advancing the clock).
  bool frameBecomes(std::uint32_t window, const XRectangle& frame) {
    return waitUntil([&] { return probe().frameRect(window) == frame; });
  }

 private:
  /// Starts again the window manager or the tray of the desktop in `state` when it ended; says which.
  static std::string reviveDesktop(const std::filesystem::path& state);
  /// "window manager (NAME) ended" when the desktop's window manager no longer runs; empty while it does.
  static std::string windowManagerEnded(const std::filesystem::path& state);

  // First, so it goes last: what the test started is ended once nothing of the fixture uses it.
  ProcessMark mark_;
  /// The test desktop's state folder, once SetUp found the desktop in order.
  std::filesystem::path state_;
  std::string display_;
  std::string windowManager_;
  std::unique_ptr<ScopedEnv> displayEnv_;
  std::unique_ptr<XProbe> probe_;
  std::vector<std::unique_ptr<TestClient>> clients_;
  std::vector<std::unique_ptr<ChildProcess>> children_;
  std::function<void()> pump_;
  int desktopAtStart_ = 0;
};

}  // namespace tilvane::test::x11
