#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "AppManager/Geometry/TransformUtils.h"
#include "GeometryWorld.h"

namespace tilvane {
namespace {

constexpr double kNan = std::numeric_limits<double>::quiet_NaN();
constexpr double kInf = std::numeric_limits<double>::infinity();

void expectRect(const CGRect& got, double x, double y, double w, double h) {
  EXPECT_NEAR(got.origin.x, x, 1e-9);
  EXPECT_NEAR(got.origin.y, y, 1e-9);
  EXPECT_NEAR(got.size.width, w, 1e-9);
  EXPECT_NEAR(got.size.height, h, 1e-9);
}

class FrameTransform : public test::GeometryWorld {};

TEST_F(FrameTransform, OnThePrimaryDisplayTheFlipIsTheFractionOfItsHeight) {
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900)});
  expectRect(TransformUtils::convert(CGRectMake(0.5, 0.25, 0.5, 0.75), CGRectMake(0, 0, 1440, 900)), 720, 225, 720,
             675);
  // A visible frame below a menu bar: the window starts at the menu bar's lower edge.
  expectRect(TransformUtils::convert(CGRectMake(0, 0, 1, 1), CGRectMake(0, 0, 1440, 877)), 0, 23, 1440, 877);
}

TEST_F(FrameTransform, RoundTripOnADisplayThatIsNotThePrimaryOne) {
  // AppKit lists the upper-left display first; the primary is the one at (0, 0) and its height is the pivot.
  const CGRect upperVisible = CGRectMake(-1920, 900, 1920, 1057);
  sim().addDisplay({.frame = CGRectMake(-1920, 900, 1920, 1080), .visibleFrame = upperVisible});
  sim().addDisplay({.frame = CGRectMake(0, 0, 1440, 900), .visibleFrame = CGRectMake(0, 0, 1440, 877)});

  const CGRect fraction = CGRectMake(0.1, 0.2, 0.5, 0.4);
  const CGRect window = TransformUtils::convert(fraction, upperVisible);
  // The upper display's visible top edge is 1,057 points above the primary display's top edge.
  expectRect(window, -1920 + 192, -1057 + 0.2 * 1057, 960, 0.4 * 1057);
  expectRect(TransformUtils::ratio(window, upperVisible), 0.1, 0.2, 0.5, 0.4);

  // Above 0.96 the way back snaps to the whole frame.
  const CGRect wide = TransformUtils::convert(CGRectMake(0.01, 0.5, 0.97, 0.5), upperVisible);
  expectRect(TransformUtils::ratio(wide, upperVisible), 0.01, 0.5, 1.0, 0.5);
}

TEST_F(FrameTransform, RatioLimitsAndSnapsWidthAndHeight) {
  EXPECT_DOUBLE_EQ(TransformUtils::ratio(CGRectMake(0, 0, 1400, 100), CGRectMake(0, 0, 1440, 900), 900).size.width, 1.0);
  EXPECT_DOUBLE_EQ(TransformUtils::ratio(CGRectMake(0, 0, 960, 100), CGRectMake(0, 0, 1000, 900), 900).size.width, 0.96);
  EXPECT_DOUBLE_EQ(TransformUtils::ratio(CGRectMake(0, 0, 3000, 0), CGRectMake(0, 0, 1000, 900), 900).size.width, 1.0);
  EXPECT_DOUBLE_EQ(TransformUtils::ratio(CGRectMake(0, 0, 3000, 0), CGRectMake(0, 0, 1000, 900), 900).size.height, 0);
  // x and y are neither limited nor snapped.
  expectRect(TransformUtils::ratio(CGRectMake(-500, 1800, 100, 90), CGRectMake(0, 0, 1000, 900), 900), -0.5, 2, 0.1,
             0.1);
}

TEST_F(FrameTransform, NothingNonFiniteComesOut) {
  // A frame without width or height, and fractions that are not numbers.
  const CGRect fromEmptyFrame = TransformUtils::ratio(CGRectMake(10, 10, 100, 0), CGRectMake(0, 0, 0, 0), 900);
  expectRect(fromEmptyFrame, 0, 0, 1.0, 0);
  const CGRect fromNan = TransformUtils::ratio(CGRectMake(kNan, kInf, kNan, 10), CGRectMake(0, 0, 100, 100), 100);
  expectRect(fromNan, 0, 0, 0, 0.1);
  const CGRect converted = TransformUtils::convert(CGRectMake(kNan, kInf, kNan, -kInf), CGRectMake(0, 0, 100, 100), 100);
  expectRect(converted, 0, 0, 0, 0);
}

TEST_F(FrameTransform, WithoutAnyDisplayThePivotIsZeroAndConvertUsesMagnitudes) {
  ASSERT_TRUE(NSScreen::screens().empty());
  expectRect(TransformUtils::convert(CGRectMake(0, 0.5, 1, 0.5), CGRectMake(0, 0, 100, 100)), 0, -50, 100, 50);
  expectRect(TransformUtils::ratio(CGRectMake(0, -50, 100, 50), CGRectMake(0, 0, 100, 100)), 0, 0.5, 1, 0.5);
  expectRect(TransformUtils::convert(CGRectMake(0.5, 0, -0.25, 0.5), CGRectMake(0, 0, 100, 100)), 50, -100, 25, 50);
}

}  // namespace
}  // namespace tilvane
