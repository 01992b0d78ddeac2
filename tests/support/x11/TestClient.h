#pragma once

#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace tilvane::test::x11 {

/// A child process started by a test and stopped (SIGTERM, then SIGKILL) when the object goes: a test client,
/// an xterm, a command. Its stdin is /dev/null; its stdout is a pipe the test reads; stderr goes to the test's.
class ChildProcess {
 public:
  /// Starts `argv[0]` (searched on PATH) with the process's environment. Null when it cannot be started.
  static std::unique_ptr<ChildProcess> spawn(const std::vector<std::string>& argv);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t pid() const { return pid_; }
  /// Reads one line of the child's stdout (without the newline), waiting at most `seconds`; false at the end of
  /// its output or on timeout.
  bool readLine(std::string& line, double seconds);
  /// Stops the child and reaps it; returns its exit status (as waitpid gives it), -1 when it was already reaped.
  int terminate();
  /// Waits for the child to exit by itself (at most `seconds`); its waitpid status, or -1 on timeout.
  int wait(double seconds);

 private:
  ChildProcess(pid_t pid, int out) : pid_(pid), out_(out) {}
  pid_t pid_;
  int out_;
  std::string buffer_;
  bool reaped_ = false;
};

/// Runs a command to its end (at most 10 s) and returns its exit code (-1 when it could not run or timed out).
int runCommand(const std::vector<std::string>& argv);

/// The test client (tests/support/x11/testclient): plain windows with chosen WM_CLASS, title, _NET_WM_PID and
/// window type, no size hints. launch() returns once every window is managed and mapped.
class TestClient {
 public:
  /// Starts the client with `args` (see the client's usage); null when it fails to start or to get ready.
  static std::unique_ptr<TestClient> launch(const std::vector<std::string>& args);

  pid_t pid() const { return process_->pid(); }
  /// The client's windows, in creation order.
  const std::vector<std::uint32_t>& windows() const { return windows_; }
  std::uint32_t window(std::size_t i = 0) const { return windows_.at(i); }
  /// Ends the client (its windows vanish with its connection).
  void quit() { process_->terminate(); }

 private:
  explicit TestClient(std::unique_ptr<ChildProcess> p) : process_(std::move(p)) {}
  std::unique_ptr<ChildProcess> process_;
  std::vector<std::uint32_t> windows_;
};

}  // namespace tilvane::test::x11
