#include <gtest/gtest.h>

#include <limits>

#include "AppManager/Geometry/TransformUtils.h"
#include "GeometryWorld.h"

namespace tilvane {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectRect(const CGRect& got, const CGRect& want) {
  EXPECT_NEAR(got.origin.x, want.origin.x, 1e-9);
  EXPECT_NEAR(got.origin.y, want.origin.y, 1e-9);
  EXPECT_NEAR(got.size.width, want.size.width, 1e-9);
  EXPECT_NEAR(got.size.height, want.size.height, 1e-9);
}

class FrameTransform : public test::GeometryWorld {};

TEST_F(FrameTransform, RoundTripPivotsOnThePrimaryDisplaysHeight) {
  // Without any display the pivot is 0.
  expectRect(TransformUtils::convert(CGRectMake(0, 0.5, 1, 0.5), CGRectMake(0, 0, 100, 100)),
             CGRectMake(0, -50, 100, 50));
  // The upper-left display is listed first; the primary is the one at (0, 0) and its height is the pivot.
  const CGRect upperVisible = CGRectMake(-1920, 900, 1920, 1057);
  sim().addDisplay({.frame = CGRectMake(-1920, 900, 1920, 1080), .visibleFrame = upperVisible});
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});
  const CGRect window = TransformUtils::convert(CGRectMake(0.1, 0.2, 0.5, 0.4), upperVisible);
  // The upper display's visible top edge is 1,057 points above the primary display's top edge.
  expectRect(window, CGRectMake(-1920 + 192, -1057 + 0.2 * 1057, 960, 0.4 * 1057));
  expectRect(TransformUtils::ratio(window, upperVisible), CGRectMake(0.1, 0.2, 0.5, 0.4));
}

TEST(FrameMaths, ExtentsAreLimitedAndSnappedAndNothingNonFiniteComesOut) {
  struct Case {
    const char* what;
    bool toWindow;  // convert() when true, else ratio() (placementRatio() with a gap)
    CGRect in, frame;
    double pivot;
    CGRect want;
    double gap = 0;
  };
  const Case cases[] = {
      {"above 0.96 snaps", false, CGRectMake(0, 0, 1400, 90), CGRectMake(0, 0, 1440, 900), 900,
       CGRectMake(0, 0, 1, 0.1)},
      {"0.96 stays", false, CGRectMake(0, 0, 960, 90), CGRectMake(0, 0, 1000, 900), 900,
       CGRectMake(0, 0, 0.96, 0.1)},
      {"at most 1, at least 0", false, CGRectMake(0, 0, 3000, 0), CGRectMake(0, 0, 1000, 900), 900,
       CGRectMake(0, 0, 1, 0)},
      {"x and y unlimited", false, CGRectMake(-500, 1800, 100, 90), CGRectMake(0, 0, 1000, 900), 900,
       CGRectMake(-0.5, 2, 0.1, 0.1)},
      {"empty frame", false, CGRectMake(10, 10, 100, 0), CGRectMake(0, 0, 0, 0), 900, CGRectMake(0, 0, 1, 0)},
      {"not numbers", false, CGRectMake(kNan, kInf, kNan, 10), CGRectMake(0, 0, 100, 100), 100,
       CGRectMake(0, 0, 0, 0.1)},
      {"not numbers", true, CGRectMake(kNan, kInf, kNan, -kInf), CGRectMake(0, 0, 100, 100), 100,
       CGRectMake(0, 0, 0, 0)},
      {"magnitudes", true, CGRectMake(0.5, 0, -0.25, 0.5), CGRectMake(0, 0, 100, 100), 0,
       CGRectMake(50, -100, 25, 50)},
      {"with a gap, at most the whole frame and a gap beyond each edge", false, CGRectMake(-8, -8, 1016, 3000),
       CGRectMake(0, 0, 1000, 900), 900, CGRectMake(-0.008, -8.0 / 900, 1.016, 916.0 / 900), 8},
      {"with a gap, above 0.96 up to 1 snaps", false, CGRectMake(0, 0, 970, 90), CGRectMake(0, 0, 1000, 900), 900,
       CGRectMake(0, 0, 1, 0.1), 8},
      {"with a gap, an empty frame", false, CGRectMake(10, 10, 100, 0), CGRectMake(0, 0, 0, 0), 900,
       CGRectMake(0, 0, 1, 0), 8},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    expectRect(c.toWindow ? TransformUtils::convert(c.in, c.frame, c.pivot)
               : c.gap > 0    ? TransformUtils::placementRatio(c.in, c.frame, c.gap, c.pivot)
                              : TransformUtils::ratio(c.in, c.frame, c.pivot),
               c.want);
  }
}

}  // namespace
}  // namespace tilvane
