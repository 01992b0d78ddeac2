// The one conversion between a client window's rectangle and its visible frame.
#include <gtest/gtest.h>

#include <cstring>

#include "platform/desktop/x11/VisibleFrame.h"

namespace tilvane::x11 {
namespace {

PropertyValue cardinals(std::initializer_list<std::uint32_t> values) {
  std::string bytes(values.size() * 4, '\0');
  std::size_t i = 0;
  for (const std::uint32_t v : values) std::memcpy(bytes.data() + 4 * i++, &v, 4);
  return PropertyValue{XCB_ATOM_CARDINAL, 32, bytes, false};
}

TEST(VisibleFrameTest, DecorationIsAddedShadowsTakenOffAndARequestNamesWhatGivesTheFrameBack) {
  // Decorated (openbox's test theme) and drawing its own frame with shadows, as under a compositor.
  const FrameMargins decorated{{1, 1, 20, 5}, {}};
  const FrameMargins ownFrame{{}, {23, 23, 15, 31}};
  const FrameMargins both{{1, 1, 20, 5}, {23, 23, 15, 31}};
  EXPECT_EQ(decorated.visibleFrame({101, 170, 638, 455}), (PixelRect{100, 150, 640, 480}));
  EXPECT_EQ(ownFrame.visibleFrame({-23, -15, 1006, 574}), (PixelRect{0, 0, 960, 528}));
  EXPECT_EQ(both.visibleFrame({10, 20, 500, 400}), (PixelRect{32, 15, 456, 379}));

  for (const FrameMargins& m : {decorated, ownFrame, both}) {
    const PixelRect visible{960, 0, 960, 528};
    const PixelRect r = m.request(visible);
    // x, y name the outer frame's corner: the client sits inside it by the decoration.
    const PixelRect client{r.x + m.decoration.left, r.y + m.decoration.top, r.width, r.height};
    EXPECT_EQ(m.visibleFrame(client), visible);
  }
  // A size smaller than the margins still asks for a window of at least one pixel.
  EXPECT_EQ(decorated.request({0, 0, 1, 1}), (PixelRect{0, 0, 1, 1}));
}

TEST(VisibleFrameTest, MarginsComeFromBothPropertiesAndNonsenseIsNoMarginOrBounded) {
  EXPECT_EQ(frameMarginsFrom(cardinals({1, 2, 3, 4}), cardinals({5, 6, 7, 8})),
            (FrameMargins{{1, 2, 3, 4}, {5, 6, 7, 8}}));
  EXPECT_EQ(frameMarginsFrom(std::nullopt, cardinals({5, 6})), FrameMargins{});
  PropertyValue wrongType = cardinals({5, 6, 7, 8});
  wrongType.type = XCB_ATOM_STRING;
  EXPECT_EQ(frameMarginsFrom(cardinals({1, 2, 3, 4}), wrongType), (FrameMargins{{1, 2, 3, 4}, {}}));
  EXPECT_EQ(frameMarginsFrom(std::nullopt, cardinals({0xffffffffu, 0, 0, 0})).shadow.left, 4096u);
  // Shadows wider or taller than the window itself leave it alone on that axis.
  const FrameMargins hostile{{}, {4096, 4096, 2, 2}};
  EXPECT_EQ(hostile.visibleFrame({0, 0, 400, 300}), (PixelRect{0, 2, 400, 296}));
}

}  // namespace
}  // namespace tilvane::x11
