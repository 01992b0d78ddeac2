#include <gtest/gtest.h>

#include "platform/desktop/NSApplication.h"
#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane::sim {
namespace {

constexpr CGWindowLevel kFloating = CGWindowLevelForKey(CGWindowLevelKey::kCGFloatingWindowLevelKey);

TEST(SimProgramServer, RecordsActivationsAndTheLevelsOfTheProgramsWindows) {
  SimDesktop sim;
  Desktop::Scope scope(sim);
  EXPECT_FALSE(sim.program().isActive());
  NSApplication::activateIgnoringOtherApps(true);
  NSApplication::activateIgnoringOtherApps(false);
  EXPECT_TRUE(sim.program().isActive());
  EXPECT_EQ(sim.program().activations(), 2);
  EXPECT_EQ(sim.program().activationsIgnoringOtherApps(), 1);

  NSApplication::setWindowLevel(0x2a, kFloating);
  NSApplication::setWindowLevel(0x2b, CGWindowLevelForKey(CGWindowLevelKey::kCGNormalWindowLevelKey));
  EXPECT_EQ(sim.program().windowLevel(0x2a), 3);
  EXPECT_EQ(sim.program().windowLevel(0x2b), 0);
  EXPECT_EQ(sim.program().windowLevel(0x2c), std::nullopt);
}

TEST(SimProgramServer, CallsWithoutADesktopReachNobody) {
  SimDesktop sim;
  {
    Desktop::Scope scope(sim);
  }
  NSApplication::activateIgnoringOtherApps(true);
  NSApplication::setWindowLevel(1, kFloating);
  EXPECT_FALSE(sim.program().isActive());
  EXPECT_EQ(sim.program().windowLevel(1), std::nullopt);
}

}  // namespace
}  // namespace tilvane::sim
