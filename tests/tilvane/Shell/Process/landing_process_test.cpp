// The first run as a user meets it: an X server with no window manager, so the program may not move windows
// and shows its landing window. The user clicks through it, is told what is missing, starts a window manager,
// finishes, and the program starts afresh in the same process with its menu and managers.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/TestEnvironment.h"
#include "support/x11/XProbe.h"
#include "tilvane/Shell/Process/ProgramOutput.h"

namespace tilvane::test::x11 {
namespace {

/// The first line a command prints (empty when none within 10 s).
std::string firstLine(const std::vector<std::string>& argv) {
  auto child = ChildProcess::spawn(argv);
  std::string line;
  if (child) child->readLine(line, 10.0);
  return line;
}

class LandingProcessTest : public WorldTest {
 protected:
  void SetUp() override {
    server_ = ChildProcess::spawn({"Xvfb", "-displayfd", "1", "-nolisten", "tcp", "-screen", "0", "1024x768x24"});
    std::string number;
    ASSERT_TRUE(server_ && server_->readLine(number, 10.0));
    display_.emplace("DISPLAY", ":" + number);
    probe_ = std::make_unique<XProbe>(":" + number);
    ASSERT_TRUE(probe_->ok());
  }

  /// Presses the landing window's next button (600 × 350, the button 120 × 30 at 10 from the bottom right).
  void pressNext() {
    const auto client = probe_->clientRect(window_);
    ASSERT_TRUE(client);
    ASSERT_EQ(runCommand({"xdotool", "mousemove", std::to_string(client->x + 530), std::to_string(client->y + 325),
                          "click", "1"}),
              0);
  }

  /// Presses next until the program says `text`: a press while the strip slides meets a hidden button.
  bool pressNextUntil(const std::string& text) {
    for (int attempt = 0; attempt < 20; ++attempt) {
      pressNext();
      if (readUntil(*program_, text, output_, 0.5)) return true;
    }
    return false;
  }

  bool enabledWritten() const {
    std::ifstream file(tempDir() / "config" / "Tilvane" / "defaults.plist");
    std::stringstream text;
    text << file.rdbuf();
    const std::string plist = text.str();
    const auto key = plist.find("<key>enabled</key>");
    return key != std::string::npos && plist.find("<integer>1</integer>", key) != std::string::npos;
  }

  ScopedEnv qtPlatform_{"QT_QPA_PLATFORM", std::nullopt};
  std::unique_ptr<ChildProcess> server_;
  std::optional<ScopedEnv> display_;
  std::unique_ptr<XProbe> probe_;
  std::unique_ptr<ChildProcess> program_;
  std::unique_ptr<ChildProcess> windowManager_;
  xcb_window_t window_ = XCB_WINDOW_NONE;
  std::string output_;
};

TEST_F(LandingProcessTest, GuidesTheUserToAWindowManagerAndStartsAfresh) {
  program_ = startTilvane();
  ASSERT_TRUE(program_);
  ASSERT_TRUE(readUntil(*program_, "start App", output_)) << output_;
  EXPECT_EQ(output_.find("main controllers setup"), std::string::npos) << output_;
  const std::string id = firstLine({"xdotool", "search", "--sync", "--name", "^Tilvane Guide$"});
  ASSERT_FALSE(id.empty());
  window_ = static_cast<xcb_window_t>(std::stoul(id));

  pressNext();                                                   // "Let's start"
  ASSERT_TRUE(pressNextUntil("EWMH support")) << output_;  // the check: it says what is missing
  pressNext();                                                   // "Complete", still without one
  const std::string alert = firstLine({"xdotool", "search", "--sync", "--name", "^Accessibility disabled$"});
  ASSERT_FALSE(alert.empty()) << output_;
  EXPECT_FALSE(enabledWritten());
  ASSERT_EQ(runCommand({"xdotool", "windowfocus", "--sync", alert, "key", "Return"}), 0);

  windowManager_ = ChildProcess::spawn({"openbox", "--config-file", TILVANE_OPENBOX_RC});
  ASSERT_TRUE(windowManager_);
  // Managed once the window manager has framed the landing window.
  for (int i = 0; i < 200 && probe_->cardinals(window_, "_NET_FRAME_EXTENTS").empty(); ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  ASSERT_FALSE(probe_->cardinals(window_, "_NET_FRAME_EXTENTS").empty());

  pressNext();  // "Complete", now granted
  for (int i = 0; i < 100 && !enabledWritten(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(50));
  EXPECT_TRUE(enabledWritten());
  ASSERT_TRUE(pressNextUntil("relaunch")) << output_;  // "OK"

  // The same process, started afresh: now with its menu.
  ASSERT_TRUE(readUntil(*program_, "main controllers setup", output_)) << output_;
  std::ifstream comm("/proc/" + std::to_string(program_->pid()) + "/comm");
  std::string name;
  comm >> name;
  EXPECT_EQ(name, "tilvane");
  ASSERT_TRUE(readUntil(*program_, "start App", output_)) << output_;
  kill(program_->pid(), SIGTERM);
  EXPECT_EQ(exitCode(*program_, output_), 0) << output_;
  EXPECT_EQ(output_.find("Sanitizer"), std::string::npos) << output_;
}

TEST_F(LandingProcessTest, ClosingTheWindowUntrustedEndsTheProgram) {
  program_ = startTilvane();
  ASSERT_TRUE(program_);
  ASSERT_TRUE(readUntil(*program_, "start App", output_)) << output_;
  const std::string id = firstLine({"xdotool", "search", "--sync", "--name", "^Tilvane Guide$"});
  ASSERT_FALSE(id.empty());
  // The close box's request, as a window manager sends it.
  xcb_client_message_event_t close{};
  close.response_type = XCB_CLIENT_MESSAGE;
  close.format = 32;
  close.window = static_cast<xcb_window_t>(std::stoul(id));
  close.type = probe_->atom("WM_PROTOCOLS");
  close.data.data32[0] = probe_->atom("WM_DELETE_WINDOW");
  close.data.data32[1] = XCB_CURRENT_TIME;
  xcb_send_event(probe_->connection(), 0, close.window, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&close));
  probe_->sync();
  EXPECT_EQ(exitCode(*program_, output_, 20.0), 0) << output_;
}

}  // namespace
}  // namespace tilvane::test::x11
