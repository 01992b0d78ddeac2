// The displays read once until an event says they changed.
#include <gtest/gtest.h>

#include "platform/desktop/x11/ScreenLayoutCache.h"
#include "support/TestEnvironment.h"

namespace tilvane::x11 {
namespace {

ScreenLayout oneMonitor(std::int64_t width) {
  Monitor m;
  m.name = m.identityKey = "m";
  m.rect = PixelRect{0, 0, width, 1080};
  return ScreenLayout::arrange({m}, width, 1080, {});
}

class ScreenLayoutCacheTest : public test::WorldTest {};

TEST_F(ScreenLayoutCacheTest, ReadOnceUntilAnEventSaysTheDisplaysChanged) {
  int reads = 0;
  std::int64_t width = 1920;
  const auto widthRead = [](ScreenLayoutCache& c) { return c.get().displays().front().monitor.rect.width; };
  ScreenLayoutCache cache([&] { return ++reads, oneMonitor(width); });
  EXPECT_EQ(widthRead(cache), 1920);
  width = 1280;
  EXPECT_EQ(widthRead(cache), 1920);
  drain();  // later turns keep it too
  EXPECT_EQ(widthRead(cache), 1920);
  EXPECT_EQ(reads, 1);
  cache.invalidate();  // an event said the displays changed
  EXPECT_EQ(widthRead(cache), 1280);
  cache.get();
  EXPECT_EQ(reads, 2);
}

TEST(ScreenLayoutCacheWithoutLoopTest, EveryCallReadsWhenThereAreNoTurns) {
  ASSERT_EQ(dispatch::MainQueue::loop(), nullptr);
  int reads = 0;
  ScreenLayoutCache cache([&] { return ++reads, oneMonitor(10); });
  cache.get();
  cache.get();
  EXPECT_EQ(reads, 2);
}

}  // namespace
}  // namespace tilvane::x11
