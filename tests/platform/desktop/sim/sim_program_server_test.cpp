#include <gtest/gtest.h>

#include "platform/desktop/NSApplication.h"
#include "platform/desktop/sim/SimDesktop.h"

namespace tilvane::sim {
namespace {

constexpr CGWindowLevel kFloating = CGWindowLevelForKey(CGWindowLevelKey::kCGFloatingWindowLevelKey);

TEST(SimProgramServer, RecordsActivationsAndWindowLevelsWhileInstalledOnly) {
  SimDesktop sim;
  {
    Desktop::Scope scope(sim);
    NSApplication::activateIgnoringOtherApps(true);
    NSApplication::activateIgnoringOtherApps(false);
    NSApplication::setWindowLevel(0x2a, kFloating);
    NSApplication::setWindowLevel(0x2b, CGWindowLevelForKey(CGWindowLevelKey::kCGNormalWindowLevelKey));
  }
  NSApplication::activateIgnoringOtherApps(true);  // no desktop installed: reaches nobody
  NSApplication::setWindowLevel(0x2c, kFloating);
  EXPECT_TRUE(sim.program().isActive());
  EXPECT_EQ(sim.program().activations(), 2);
  EXPECT_EQ(sim.program().activationsIgnoringOtherApps(), 1);
  EXPECT_EQ(sim.program().windowLevel(0x2a), 3);
  EXPECT_EQ(sim.program().windowLevel(0x2b), 0);
  EXPECT_EQ(sim.program().windowLevel(0x2c), std::nullopt);
}

}  // namespace
}  // namespace tilvane::sim
