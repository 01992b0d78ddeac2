// What bringing one of the program's own windows to the user asks of the window manager.
#include <gtest/gtest.h>

#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11ProgramServer.h"

namespace tilvane::x11 {
namespace {

constexpr std::uint32_t kWithdrawn = 0, kNormal = 1, kIconic = 3;

TEST(FrontRequestsTest, MapsAMinimisedWindowAndMovesOneFromAnotherDesktop) {
  const struct {
    const char* name;
    std::optional<std::uint32_t> state, windowDesktop, current;
    bool notManagedYet, map;
    std::optional<std::uint32_t> moveTo;
  } cases[] = {
      {"shown here", kNormal, 1, 1, false, false, std::nullopt},
      {"minimised here", kIconic, 1, 1, false, true, std::nullopt},
      {"on another desktop", kNormal, 2, 0, false, false, 0u},
      {"minimised on another desktop", kIconic, 3, 0, false, true, 0u},
      {"on every desktop", kNormal, kAllDesktops, 2, false, false, std::nullopt},
      {"without a desktop", kNormal, std::nullopt, 2, false, false, std::nullopt},
      {"no desktop shown", kNormal, 2, std::nullopt, false, false, std::nullopt},
      {"being mapped", std::nullopt, std::nullopt, 0, true, false, std::nullopt},
      {"closed", kWithdrawn, 1, 0, true, false, std::nullopt},
  };
  for (const auto& c : cases) {
    const FrontRequests requests = frontRequestsFor(c.state, c.windowDesktop, c.current);
    EXPECT_EQ(requests.notManagedYet, c.notManagedYet) << c.name;
    EXPECT_EQ(requests.map, c.map) << c.name;
    EXPECT_EQ(requests.moveToDesktop, c.moveTo) << c.name;
  }
}

}  // namespace
}  // namespace tilvane::x11
