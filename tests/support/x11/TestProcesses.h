#pragma once

#include <memory>
#include <string>
#include <vector>

#include "support/TestEnvironment.h"

namespace tilvane::test::x11 {

/// The environment variable that marks every process a test process starts: "<pid>.<start time>" of that test
/// process. An environment is kept through forks, execs and new sessions, so the mark finds what a test left
/// running however it was started: a program a restore left in the background, a script's child, a desktop of
/// the test's own whose stop was cut short.
inline constexpr const char* kTestOwnerVariable = "TILVANE_TEST_OWNER";

/// While it lives, what this process starts carries its mark; when it goes, every marked process still running
/// is ended (SIGTERM, then SIGKILL), also when the test failed. `endLeftByGoneTests` ends what a test process
/// that no longer runs (killed at its time-out, crashed) left behind.
class ProcessMark {
 public:
  ProcessMark();
  ~ProcessMark();
  ProcessMark(const ProcessMark&) = delete;
  ProcessMark& operator=(const ProcessMark&) = delete;

  /// Ends the processes carrying this mark; returns "name (pid)" of each.
  std::vector<std::string> endMarked() const;
  /// Ends the marked processes whose test process has gone; returns "name (pid)" of each.
  static std::vector<std::string> endLeftByGoneTests();

 private:
  std::string mark_;
  std::unique_ptr<ScopedEnv> env_;
};

}  // namespace tilvane::test::x11
