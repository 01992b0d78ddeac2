#include <gtest/gtest.h>

#include <future>
#include <memory>
#include <string>
#include <vector>

#include "crashreporting/platform/ConcurrentQueue.h"
#include "crashreporting/platform/SerialQueue.h"

// A task may hold the last reference to the owner of its own queue. The queue then goes on its own thread, and
// that thread must not touch the queue afterwards (under AddressSanitizer any such touch aborts the run). Each
// case waits for the queue's thread to have ended entirely, so whatever it still did is seen.

namespace crashreporting {
namespace {

constexpr int kRounds = 200;

/// Lets the test wait until the calling thread has ended, after everything its thread function did.
void readyAtThreadExit(std::promise<void>& ended) { ended.set_value_at_thread_exit(); }

template <class Queue>
void dropFromItsOwnTask(std::shared_ptr<Queue> queue, std::promise<void>& ended) {
  Queue* const raw = queue.get();
  // The task lets go only once async() has returned: the caller of async() must hold the queue until then.
  std::promise<void> queued;
  auto handedOver = queued.get_future().share();
  raw->async([&ended, handedOver, owner = std::move(queue)]() mutable {
    readyAtThreadExit(ended);
    handedOver.wait();
    owner.reset();
  });
  queued.set_value();
}

TEST(QueueLifetimeTest, ASerialQueueDroppedInsideItsOwnTaskEndsItsThreadCleanly) {
  for (int round = 0; round < kRounds; ++round) {
    std::promise<void> ended;
    auto done = ended.get_future();
    dropFromItsOwnTask(std::make_shared<SerialQueue>("test.dropped"), ended);
    done.get();
  }
}

TEST(QueueLifetimeTest, ASerialQueueDroppedWithItsTasksCaptureStillRunsWhatIsQueuedAfterIt) {
  for (int round = 0; round < kRounds; ++round) {
    std::promise<void> ended;
    auto done = ended.get_future();
    std::promise<void> open;
    auto gate = open.get_future().share();
    std::vector<std::string> ran;  // only the queue's thread writes it until `done`
    auto queue = std::make_shared<SerialQueue>("test.dropped");
    SerialQueue* const raw = queue.get();
    // The last owner goes when the task itself is released, not inside its body.
    raw->async([&ended, gate, owner = std::move(queue)] {
      readyAtThreadExit(ended);
      gate.wait();
    });
    raw->async([&ran] { ran.emplace_back("after"); });
    open.set_value();
    done.get();
    ASSERT_EQ(ran, std::vector<std::string>{"after"}) << "round " << round;
  }
}

TEST(QueueLifetimeTest, AConcurrentQueueDroppedInsideItsOwnTaskEndsItsThreadCleanly) {
  for (int round = 0; round < kRounds; ++round) {
    std::promise<void> ended;
    auto done = ended.get_future();
    dropFromItsOwnTask(std::make_shared<ConcurrentQueue>("test.dropped", 1), ended);
    done.get();
  }
}

}  // namespace
}  // namespace crashreporting
