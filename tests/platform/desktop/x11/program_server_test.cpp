// What bringing one of the program's own windows to the user asks of the window manager.
#include <gtest/gtest.h>

#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11ProgramServer.h"

namespace tilvane::x11 {
namespace {

constexpr std::uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;

// Iconic alone does not tell minimised: window managers iconify the windows of other desktops too, and the
// desktop move is what brings those; a map goes only to a minimised window.
TEST(FrontRequestsTest, MovesAWindowFromAnotherDesktopAndMapsOnlyAMinimisedOne) {
  const struct {
    const char* name;
    std::optional<std::uint32_t> state;
    bool minimised;
    std::optional<std::uint32_t> windowDesktop, current;
    bool notManagedYet, map;
    std::optional<std::uint32_t> moveTo;
    bool shown;
  } cases[] = {
      {"shown here", kNormal, false, 1, 1, false, false, std::nullopt, true},
      {"minimised here", kIconic, true, 1, 1, false, true, std::nullopt, false},
      {"on another desktop, iconic there", kIconic, false, 2, 0, false, false, 0u, false},
      {"on another desktop, normal there", kNormal, false, 2, 0, false, false, 0u, false},
      {"minimised on another desktop", kIconic, true, 3, 0, false, true, 0u, false},
      {"on every desktop", kNormal, false, kAllDesktops, 2, false, false, std::nullopt, true},
      {"without a desktop", kNormal, false, std::nullopt, 2, false, false, std::nullopt, true},
      {"no desktop shown", kNormal, false, 2, std::nullopt, false, false, std::nullopt, true},
      {"being mapped", std::nullopt, false, std::nullopt, 0, true, false, std::nullopt, false},
      {"closed", kWithdrawn, false, 1, 0, true, false, std::nullopt, false},
  };
  for (const auto& c : cases) {
    const FrontRequests requests = frontRequestsFor(c.state, c.minimised, c.windowDesktop, c.current);
    EXPECT_EQ(requests.notManagedYet, c.notManagedYet) << c.name;
    EXPECT_EQ(requests.map, c.map) << c.name;
    EXPECT_EQ(requests.moveToDesktop, c.moveTo) << c.name;
    EXPECT_EQ(requests.shown(), c.shown) << c.name;
  }
}

}  // namespace
}  // namespace tilvane::x11
