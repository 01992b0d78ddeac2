#include "AppManager/Geometry/Placement.h"

#include <gtest/gtest.h>

#include <tuple>
#include <vector>

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
  struct Case {
    bool gap;
    GaplessOrder order;
    Sent sent;
  };
  const Sent gapped{{Kind::size, 784, 584}, {Kind::position, 8, 31}, {Kind::size, 784, 584}};
  const Case cases[] = {
      {false,
       GaplessOrder::positionSizePosition,
       {{Kind::position, 0, 23}, {Kind::size, 800, 600}, {Kind::position, 0, 23}}},
      {false,
       GaplessOrder::sizePositionSize,
       {{Kind::size, 800, 600}, {Kind::position, 0, 23}, {Kind::size, 800, 600}}},
      {false, GaplessOrder::setFrame, {{Kind::position, 0, 23}, {Kind::size, 800, 600}}},
      {true, GaplessOrder::positionSizePosition, gapped},
      {true, GaplessOrder::sizePositionSize, gapped},
      {true, GaplessOrder::setFrame, gapped},
  };
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  auto& apps = sim().applications();
  const pid_t pid = apps.addApplication({.bundleIdentifier = "org.example.Editor", .windows = {{}}});
  SIWindow window(apps.windowsOf(pid).front());
  for (const auto& c : cases) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), c.gap);
    apps.clearRequests();
    placeFrame(window, CGRectMake(0, 23, 800, 600), c.order);
    Sent sent;
    for (const auto& r : apps.requests()) sent.emplace_back(r.kind, r.a, r.b);
    EXPECT_EQ(sent, c.sent) << "gap " << c.gap << ", order " << static_cast<int>(c.order);
  }
}

}  // namespace
}  // namespace tilvane
