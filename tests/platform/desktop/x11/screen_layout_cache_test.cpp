// The displays read once until an event says they changed.
#include <gtest/gtest.h>

#include "platform/desktop/x11/ScreenLayoutCache.h"
#include "support/TestEnvironment.h"

namespace tilvane::x11 {
namespace {

class ScreenLayoutCacheTest : public test::WorldTest {
 protected:
  /// A query that counts its reads and answers one monitor `width_` pixels wide.
  ScreenLayoutCache cache_{[this] {
    ++reads_;
    Monitor m;
    m.name = "m";
    m.rect = PixelRect{0, 0, width_, 1080};
    m.identityKey = "m";
    return ScreenLayout::arrange({m}, width_, 1080, {});
  }};
  int reads_ = 0;
  std::int64_t width_ = 1920;
};

TEST_F(ScreenLayoutCacheTest, ReadOnceUntilAnEventSaysTheDisplaysChanged) {
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1920);
  width_ = 1280;
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1920);
  drain();  // later turns keep it too
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1920);
  EXPECT_EQ(reads_, 1);

  cache_.invalidate();  // an event said the displays changed
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1280);
  EXPECT_EQ(reads_, 2);
  cache_.get();
  EXPECT_EQ(reads_, 2);
}

TEST(ScreenLayoutCacheWithoutLoopTest, EveryCallReadsWhenThereAreNoTurns) {
  ASSERT_EQ(dispatch::MainQueue::loop(), nullptr);
  int reads = 0;
  ScreenLayoutCache cache([&] {
    ++reads;
    return ScreenLayout::arrange({}, 0, 0, {});
  });
  cache.get();
  cache.get();
  EXPECT_EQ(reads, 2);
}

}  // namespace
}  // namespace tilvane::x11
