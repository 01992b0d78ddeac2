// The displays read once per turn of the main loop.
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

TEST_F(ScreenLayoutCacheTest, OneReadPerTurnAndAfreshAfterAChange) {
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1920);
  width_ = 1280;
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1920);  // the same turn
  EXPECT_EQ(reads_, 1);

  drain();  // the next turn reads the server again
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 1280);
  EXPECT_EQ(reads_, 2);

  width_ = 800;
  cache_.invalidate();  // an event said the displays changed
  EXPECT_EQ(cache_.get().displays().front().monitor.rect.width, 800);
  EXPECT_EQ(reads_, 3);
  cache_.get();
  EXPECT_EQ(reads_, 3);
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

TEST(ScreenLayoutCacheLifetimeTest, ADropScheduledForACacheThatWentIsHarmless) {
  dispatch::VirtualMainLoop loop;
  dispatch::MainQueue::Scope scope(loop);
  {
    ScreenLayoutCache cache([] { return ScreenLayout::arrange({}, 0, 0, {}); });
    cache.get();
  }
  loop.drain();
}

}  // namespace
}  // namespace tilvane::x11
