#pragma once

#include <signal.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "support/x11/TestClient.h"

namespace tilvane::test::x11 {

/// An X test desktop of the test's own (Xvfb, openbox, the tray), stopped when the object goes.
class PrivateDesktop {
 public:
  explicit PrivateDesktop(std::filesystem::path state) : state_(std::move(state)) {
    auto start = ChildProcess::spawn({"bash", TILVANE_TEST_DESKTOP_SCRIPT, "start", state_.string()});
    std::string line;
    if (start && start->readLine(line, 30.0) && line.rfind("DISPLAY=", 0) == 0) display_ = line.substr(8);
    if (start) start->wait(10.0);
  }
  ~PrivateDesktop() { runCommand({"bash", TILVANE_TEST_DESKTOP_SCRIPT, "stop", state_.string()}); }

  /// ":N"; empty when the desktop did not start.
  const std::string& display() const { return display_; }
  /// Ends the X server at once, as a crash of the server would.
  void killServer() const {
    pid_t pid = 0;
    std::ifstream(state_ / "xvfb.pid") >> pid;
    if (pid > 0) kill(pid, SIGKILL);
  }

 private:
  std::filesystem::path state_;
  std::string display_;
};

}  // namespace tilvane::test::x11
