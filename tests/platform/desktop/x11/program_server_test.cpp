// What bringing one of the program's own windows to the user asks of the window manager.
#include <gtest/gtest.h>

#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11ProgramServer.h"

namespace tilvane::x11 {
namespace {

constexpr std::uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;

// Iconic alone does not tell minimised: window managers iconify the windows of other desktops too, and the
// desktop move is what brings those; a map goes only to a minimised window. Where the window manager must not
// be asked for both, only a window minimised on another desktop is withdrawn and mapped anew.
TEST(FrontRequestsTest, MovesAWindowFromAnotherDesktopAndMapsOnlyAMinimisedOne) {
  const struct {
    const char* name;
    std::optional<std::uint32_t> state;
    bool minimised;
    std::optional<std::uint32_t> windowDesktop, current;
    bool remappingWindowManager;
    bool notManagedYet, map;
    std::optional<std::uint32_t> moveTo;
    bool remap, shown;
  } cases[] = {
      {"shown here", kNormal, false, 1, 1, false, false, false, std::nullopt, false, true},
      {"minimised here", kIconic, true, 1, 1, false, false, true, std::nullopt, false, false},
      {"on another desktop, iconic there", kIconic, false, 2, 0, false, false, false, 0u, false, false},
      {"on another desktop, normal there", kNormal, false, 2, 0, false, false, false, 0u, false, false},
      {"minimised on another desktop", kIconic, true, 3, 0, false, false, true, 0u, false, false},
      {"on every desktop", kNormal, false, kAllDesktops, 2, false, false, false, std::nullopt, false, true},
      {"without a desktop", kNormal, false, std::nullopt, 2, false, false, false, std::nullopt, false, true},
      {"no desktop shown", kNormal, false, 2, std::nullopt, false, false, false, std::nullopt, false, true},
      {"being mapped", std::nullopt, false, std::nullopt, 0, false, true, false, std::nullopt, false, false},
      {"closed", kWithdrawn, false, 1, 0, false, true, false, std::nullopt, false, false},
      {"remapping: minimised on another desktop", kIconic, true, 3, 0, true, false, true, 0u, true, false},
      {"remapping: minimised here", kIconic, true, 1, 1, true, false, true, std::nullopt, false, false},
      {"remapping: on another desktop", kIconic, false, 2, 0, true, false, false, 0u, false, false},
  };
  for (const auto& c : cases) {
    const FrontRequests requests =
        frontRequestsFor(c.state, c.minimised, c.windowDesktop, c.current, c.remappingWindowManager);
    EXPECT_EQ(requests.notManagedYet, c.notManagedYet) << c.name;
    EXPECT_EQ(requests.map, c.map) << c.name;
    EXPECT_EQ(requests.moveToDesktop, c.moveTo) << c.name;
    EXPECT_EQ(requests.remap, c.remap) << c.name;
    EXPECT_EQ(requests.shown(), c.shown) << c.name;
  }
}

}  // namespace
}  // namespace tilvane::x11
