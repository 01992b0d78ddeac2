// The real loop on Qt: order, cancellation, calls from another thread and file-descriptor watching. Delays are
// a few milliseconds of real time; nothing here asserts how long anything took.
#include <gtest/gtest.h>
#include <unistd.h>

#include <QCoreApplication>
#include <thread>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/QtMainLoop.h"

namespace tilvane::dispatch {
namespace {

class QtMainLoopTest : public ::testing::Test {
 protected:
  int argc = 1;
  char arg0[8] = "test";
  char* argv[2] = {arg0, nullptr};
  QCoreApplication app{argc, argv};
  QtMainLoop loop;
  MainQueue::Scope scope{loop};
};

TEST_F(QtMainLoopTest, RunsQueuedAndTimedWorkInOrderAndSkipsCancelled) {
  std::vector<int> ran;
  loop.asyncAfter(0.020, [&] { ran.push_back(3); loop.quit(7); });
  loop.asyncAfter(0.005, [&] { ran.push_back(2); });
  const TaskId cancelled = loop.asyncAfter(0.010, [&] { ran.push_back(99); });
  loop.async([&] { ran.push_back(1); });
  loop.cancel(cancelled);
  EXPECT_TRUE(loop.isMainThread());
  EXPECT_EQ(loop.run(), 7);
  EXPECT_EQ(ran, (std::vector<int>{1, 2, 3}));
}

TEST_F(QtMainLoopTest, WorkPostedFromAnotherThreadRunsOnTheMainThread) {
  bool onMain = false;
  std::thread worker([&] {
    EXPECT_FALSE(loop.isMainThread());
    loop.asyncAfter(0.001, [&] {
      onMain = loop.isMainThread();
      loop.quit(0);
    });
  });
  worker.join();
  loop.run();
  EXPECT_TRUE(onMain);
}

TEST_F(QtMainLoopTest, WatchedDescriptorWakesTheLoopWhenReadable) {
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  std::string got;
  TaskId watch = 0;
  watch = loop.watchFd(fds[0], [&] {
    char buf[16];
    const ssize_t n = read(fds[0], buf, sizeof buf);
    if (n > 0) got.append(buf, static_cast<std::size_t>(n));
    loop.unwatchFd(watch);
    loop.quit(0);
  });
  std::thread writer([&] { ASSERT_EQ(write(fds[1], "x11", 3), 3); });
  loop.run();
  writer.join();
  close(fds[0]);
  close(fds[1]);
  EXPECT_EQ(got, "x11");
}

}  // namespace
}  // namespace tilvane::dispatch
