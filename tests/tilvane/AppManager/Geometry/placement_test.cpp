#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <tuple>
#include <vector>

#include "AppManager/Geometry/Placement.h"
#include "AppManager/Geometry/TransformUtils.h"
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

// A window's own frame is remembered as the place whose placement gives it that frame again: with the gap, the
// frame with the gap added back on each side, also against the display's edges and across its whole width.
TEST_F(PlacementTest, PlacingByTheFractionsRecordedForAFrameAsksForThatFrame) {
  const CGRect visible = CGRectMake(0, 0, 1440, 877);  // below a bar of 23 points
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = visible});
  const struct {
    const char* what;
    CGRect frame;
    std::optional<CGRect> asked[2];  // without and with the gap; the frame itself where absent
  } cases[] = {
      {"inside the display", CGRectMake(408, 232, 942, 510), {}},
      {"the whole visible frame, against every edge", CGRectMake(0, 23, 1440, 877), {}},
      {"nearly as wide: the whole width, less the gaps", CGRectMake(20, 31, 1390, 400),
       {CGRectMake(20, 31, 1440, 400), CGRectMake(20, 31, 1424, 400)}},
  };
  for (const bool gap : {false, true}) {
    defaults::UserDefaults::standard().setBool(UserDefaultsService::gutterEnabledKey(), gap);
    for (const auto& c : cases) {
      SCOPED_TRACE(std::string(c.what) + (gap ? ", gap" : ""));
      const CGRect placed = insetByGap(TransformUtils::convert(recordedFractions(c.frame, visible), visible),
                                       placementGap());
      const CGRect want = c.asked[gap].value_or(c.frame);
      EXPECT_TRUE(std::fabs(placed.minX() - want.minX()) + std::fabs(placed.minY() - want.minY()) +
                      std::fabs(placed.maxX() - want.maxX()) + std::fabs(placed.maxY() - want.maxY()) <
                  1e-9)
          << placed;
    }
  }
}

}  // namespace
}  // namespace tilvane
