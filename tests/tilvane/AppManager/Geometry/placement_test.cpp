#include <gtest/gtest.h>

#include <tuple>
#include <vector>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Settings/UserDefaultsService.h"
#include "GeometryWorld.h"
#include "platform/defaults/UserDefaults.h"

namespace tilvane {
namespace {

using Kind = sim::SimWindowRequest::Kind;
using Sent = std::vector<std::tuple<Kind, double, double>>;

class PlacementTest : public test::GeometryWorld {};

// Every placement of the program (layout operations, built-in actions, workspace items, window moves) comes here.
// Without the gap each caller keeps its own order; with it every caller goes size, position, size.
TEST_F(PlacementTest, GaplessInTheCallersOrderElseSizePositionSizeInsetByTheGap) {
  const std::pair<GaplessOrder, Sent> cases[] = {
      {GaplessOrder::positionSizePosition, {{Kind::position, 0, 23}, {Kind::size, 800, 600}, {Kind::position, 0, 23}}},
      {GaplessOrder::sizePositionSize, {{Kind::size, 800, 600}, {Kind::position, 0, 23}, {Kind::size, 800, 600}}},
      {GaplessOrder::setFrame, {{Kind::position, 0, 23}, {Kind::size, 800, 600}}},
  };
  const Sent gapped{{Kind::size, 784, 584}, {Kind::position, 8, 31}, {Kind::size, 784, 584}};
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  auto& apps = sim().applications();
  const pid_t pid = apps.addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  SIWindow window(apps.windowsOf(pid).front());
  for (const auto& [order, gapless] : cases) {
    for (const bool gap : {false, true}) {
      defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gap);
      apps.clearRequests();
      placeFrame(window, CGRectMake(0, 23, 800, 600), order);
      Sent sent;
      for (const auto& r : apps.requests()) sent.emplace_back(r.kind, r.a, r.b);
      EXPECT_EQ(sent, gap ? gapped : gapless) << "gap " << gap << ", order " << static_cast<int>(order);
    }
  }
}

}  // namespace
}  // namespace tilvane
