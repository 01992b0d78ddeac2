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
  // The stop may take its programs' whole grace on a busy machine: cut short, it would leave them running.
  ~PrivateDesktop() {
    if (auto stop = ChildProcess::spawn({"bash", TILVANE_TEST_DESKTOP_SCRIPT, "stop", state_.string()})) stop->wait(60.0);
  }

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
