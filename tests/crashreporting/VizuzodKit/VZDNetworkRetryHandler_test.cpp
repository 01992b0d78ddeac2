// The analytics retry handler serves every upload of a run, and their replies come in on any thread: its map of
// back-off timers must stay whole when many uploads finish at once (this test is the one a race detector reads).
#include "crashreporting/VizuzodKit/VZDNetworkRetryHandler.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace crashreporting {
namespace {

TEST(VZDNetworkRetryHandlerTest, UploadsFinishingOnManyThreadsAtOnceEachKeepTheirOwnBackOff) {
  VZDNetworkRetryHandler handler(std::nullopt);
  std::mutex mutex;
  std::vector<std::pair<std::chrono::nanoseconds, std::function<void()>>> waiting;
  handler.setScheduler([&](std::chrono::nanoseconds delay, std::function<void()> block) {
    const std::lock_guard lock(mutex);
    waiting.emplace_back(delay, std::move(block));
  });
  handler.setUniformSource([] { return 0.5; });  // jitter 1.0

  constexpr int kThreads = 8;
  constexpr int kUploads = 150;
  const URLRequest request("https://events.example/spi/v2/events");
  const URLResponse busy{request.URL(), 503, {}};
  std::atomic<int> retries{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&, t] {
      while (!go.load()) std::this_thread::yield();
      for (int i = 0; i < kUploads; ++i) {
        const std::string name = "upload-" + std::to_string(t) + "-" + std::to_string(i);
        handler.handleCompletedRequest(request, busy, name, std::nullopt, [&](bool retry, const std::optional<Error>&) {
          if (retry) ++retries;
        });
        // Another thread's reader of the same map at the same time.
        if (const auto timer = handler.timerForIdentifier(name, 2.0)) EXPECT_GE(timer->retryCount(), 1u);
      }
    });
  }
  go = true;
  for (auto& thread : threads) thread.join();

  ASSERT_EQ(waiting.size(), static_cast<std::size_t>(kThreads * kUploads));
  for (const auto& [delay, block] : waiting) {
    EXPECT_EQ(delay, std::chrono::seconds(2));  // the first retry of each: none was counted for another
    block();
  }
  EXPECT_EQ(retries.load(), kThreads * kUploads);
  for (int t = 0; t < kThreads; ++t) {
    for (int i = 0; i < kUploads; ++i) {
      const auto timer = handler.timerForIdentifier("upload-" + std::to_string(t) + "-" + std::to_string(i), 99);
      ASSERT_TRUE(timer);
      EXPECT_EQ(timer->retryCount(), 1u);
      EXPECT_EQ(timer->initialValue(), 2.0);  // made once, by its own first failure
    }
  }
}

}  // namespace
}  // namespace crashreporting
