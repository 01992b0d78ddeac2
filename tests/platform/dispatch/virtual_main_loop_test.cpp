#include <gtest/gtest.h>

#include <limits>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"

namespace tilvane::dispatch {
namespace {

using Ran = std::vector<int>;

TEST(VirtualMainLoop, RunsWorkInDueTimeOrderThenSchedulingOrderIncludingWorkThatDueWorkSchedules) {
  VirtualMainLoop loop(100.0);
  Ran ran;
  loop.asyncAfter(2.0, [&] {
    ran.push_back(20);
    loop.asyncAfter(0.5, [&] { ran.push_back(25); });  // due at 2.5, inside the advance
    loop.asyncAfter(5.0, [&] { ran.push_back(70); });  // due at 7.0, outside it
    loop.async([&] { ran.push_back(21); });            // due at 2.0, before 25
  });
  loop.asyncAfter(0.5, [&] { ran.push_back(5); });
  const TaskId cancelled = loop.asyncAfter(0.5, [&] { ran.push_back(99); });
  loop.asyncAfter(0.5, [&] { ran.push_back(6); });
  loop.asyncAfter(std::numeric_limits<double>::quiet_NaN(), [&] { ran.push_back(0); });  // odd delays: at once
  loop.cancel(cancelled);
  loop.cancel(9999);  // unknown ids are ignored
  loop.advance(0.4);
  EXPECT_EQ(ran, Ran{0});
  loop.advance(0.1);
  EXPECT_EQ(ran, (Ran{0, 5, 6}));
  loop.advance(2.5);
  EXPECT_EQ(ran, (Ran{0, 5, 6, 20, 21, 25}));
  EXPECT_EQ(loop.pendingCount(), 1u);
  EXPECT_DOUBLE_EQ(loop.now(), 103.0);

  // Posted work and zero-delay timers keep one order between them, also against timers falling due meanwhile.
  ran.clear();
  loop.asyncAfter(0, [&] { ran.push_back(1); });
  loop.async([&] {
    ran.push_back(2);
    loop.async([&] { ran.push_back(5); });
  });
  loop.asyncAfter(0, [&] { ran.push_back(3); });
  loop.async([&] { ran.push_back(4); });
  EXPECT_EQ(loop.pendingCount(), 5u);
  EXPECT_DOUBLE_EQ(loop.nextDueTime(), 103.0);
  loop.drain();
  EXPECT_EQ(ran, (Ran{1, 2, 3, 4, 5}));
  loop.advance(4.0);  // the timer at 107.0 runs
  loop.async([&] { ran.push_back(8); });
  EXPECT_EQ(ran, (Ran{1, 2, 3, 4, 5, 70}));
  loop.drain();
  EXPECT_EQ(ran.back(), 8);
}

TEST(Timers, ScopedTimerCancelsOnDestructionAndRescheduleReplacesRepeatingTimerRepeatsUntilStopped) {
  VirtualMainLoop loop;
  MainQueue::Scope scope(loop);
  int fired = 0;
  {
    ScopedTimer gone;
    gone.schedule(1.0, [&] { ++fired; });
  }
  ScopedTimer t;
  t.schedule(1.0, [&] { fired += 10; });
  loop.advance(0.5);
  t.schedule(1.0, [&] { fired += 100; });  // restarts the wait
  loop.advance(0.9);
  EXPECT_EQ(fired, 0);
  loop.advance(0.2);
  EXPECT_EQ(fired, 100);
  EXPECT_FALSE(t.isPending());

  RepeatingTimer timer;
  std::vector<double> at;
  timer.start(7200, [&] { at.push_back(loop.elapsed()); });
  loop.advance(3 * 7200 + 1);
  timer.stop();
  loop.advance(7200);
  EXPECT_EQ(at, (std::vector<double>{7201.6, 14401.6, 21601.6}));
}

}  // namespace
}  // namespace tilvane::dispatch
