#include <gtest/gtest.h>

#include "platform/desktop/LaunchHolds.h"
#include "support/TestEnvironment.h"

namespace tilvane {
namespace {

class LaunchHoldsTest : public test::WorldTest {};

TEST_F(LaunchHoldsTest, ARepeatIsHeldUntilAWindowOfItsApplicationAppearsItsProcessEndsOrTenSecondsPass) {
  const LaunchRequest script{LaunchTarget::path, "/usr/local/bin/term-wrapper", {"-e", "top"}, true};
  const LaunchRequest byId{LaunchTarget::bundleIdentifier, "org.example.Term", {"-e", "top"}, true};
  const struct {
    const char* what;
    const LaunchRequest& request;
    pid_t pid, session;  // of a window that appears 1 s after process 100 started; 0: none
    const char* bundle;
    double at;  // seconds after the start when the request comes again
    bool running, held;
  } cases[] = {
      {"nothing shown yet", script, 0, 0, "", 9.9, true, true},
      {"nothing shown for 10 s", script, 0, 0, "", 10, true, false},
      {"its process ended", script, 0, 0, "", 2, false, false},
      {"a window of its process", script, 100, 100, "org.example.Term", 2, true, false},
      {"a window of a child in its session", script, 101, 100, "org.example.Term", 2, true, false},
      {"a window of the application named", byId, 300, 300, "org.example.Term", 2, true, false},
      {"that application, not named by a path", script, 300, 300, "org.example.Term", 2, true, true},
      {"a window of another application", byId, 300, 300, "org.example.Other", 2, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    LaunchHolds holds;
    holds.started(c.request, 100);
    advance(1);
    if (c.pid != 0) holds.windowAppeared(c.pid, c.session, c.bundle);
    advance(c.at - 1);
    EXPECT_EQ(holds.isHeldBack(c.request, [&](pid_t pid) { return pid == 100 && c.running; }), c.held);
  }
}

TEST_F(LaunchHoldsTest, EachStartHoldsItsOwnRequestUntilAWindowOfItsOwnProcess) {
  const LaunchRequest top{LaunchTarget::path, "/usr/bin/xterm", {"-e", "top"}, true};
  const auto running = [](pid_t) { return true; };
  LaunchHolds holds;
  holds.started(top, 0);  // the process is still to come: held already, other requests not
  EXPECT_TRUE(holds.isHeldBack(top, running));
  EXPECT_FALSE(holds.isHeldBack({LaunchTarget::path, "/usr/bin/xterm", {}, false}, running));
  holds.startedAs(top, 100);
  holds.windowAppeared(100, 100, "XTerm");
  EXPECT_FALSE(holds.isHeldBack(top, running));
  // Started again: a window of the earlier process says nothing of the new one.
  holds.started(top, 200);
  holds.windowAppeared(100, 100, "XTerm");
  EXPECT_TRUE(holds.isHeldBack(top, running));
}

}  // namespace
}  // namespace tilvane
