#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/dispatch/OperationQueue.h"
#include "platform/dispatch/VirtualMainLoop.h"

namespace tilvane::dispatch {
namespace {

// An operation whose work takes `seconds` of (virtual) time, as a restore step that sleeps.
class SleepOperation : public Operation {
 public:
  SleepOperation(std::vector<std::string>& log, std::string name, double seconds)
      : log_(log), name_(std::move(name)), seconds_(seconds) {}

 protected:
  void main() override {
    log_.push_back(name_ + ":start");
    MainQueue::asyncAfter(seconds_, [this] {
      log_.push_back(name_ + ":end");
      finish();
    });
  }

 private:
  std::vector<std::string>& log_;
  std::string name_;
  double seconds_;
};

class OperationQueueTest : public ::testing::Test {
 protected:
  VirtualMainLoop loop;
  MainQueue::Scope scope{loop};
  std::vector<std::string> log;
};

TEST_F(OperationQueueTest, RunsOneOperationAtATimeInOrderOnceResumedSkippingTheWorkOfCancelledOnes) {
  OperationQueue queue("layout");
  queue.setSuspended(true);
  auto a = std::make_shared<SleepOperation>(log, "a", 1.0);
  a->completionBlock = [&] { log.push_back("a:done"); };
  auto cancelled = std::make_shared<BlockOperation>([&] { log.push_back("cancelled"); });
  cancelled->completionBlock = [&] { log.push_back("cancelled:done"); };
  queue.addOperation(a);
  queue.addOperation(cancelled);
  queue.addOperation(std::make_shared<SleepOperation>(log, "b", 1.0));
  queue.addOperation([&] { log.push_back("c"); });
  cancelled->cancel();
  loop.advance(10);
  EXPECT_TRUE(log.empty()) << "a suspended queue holds its work";
  queue.setSuspended(false);
  EXPECT_TRUE(log.empty()) << "resuming never runs work on the caller's stack";
  loop.drain();
  EXPECT_EQ(log, (std::vector<std::string>{"a:start"}));
  EXPECT_EQ(queue.operationCount(), 4u);
  loop.advance(1.0);
  EXPECT_EQ(log, (std::vector<std::string>{"a:start", "a:end", "a:done", "cancelled:done", "b:start"}));
  loop.advance(1.0);
  EXPECT_EQ(log.back(), "c");
  EXPECT_EQ(queue.operationCount(), 0u);
  EXPECT_TRUE(a->isFinished() && cancelled->isFinished());
}

TEST_F(OperationQueueTest, AFinishedOperationIsLetGoOnceOffItsOwnStackWithoutATaskForEachQuickOne) {
  OperationQueue queue;
  std::vector<std::weak_ptr<Operation>> quick;
  for (int i = 0; i < 10; ++i) {
    auto op = std::make_shared<BlockOperation>([&, i] { log.push_back("quick" + std::to_string(i)); });
    quick.push_back(op);
    queue.addOperation(std::move(op));
  }
  auto slow = std::make_shared<SleepOperation>(log, "slow", 1.0);
  const std::weak_ptr<Operation> slowHeld = slow;
  queue.addOperation(std::move(slow));
  const std::size_t ran = loop.drain();
  EXPECT_EQ(log.size(), 11u);
  EXPECT_LE(ran, 12u) << "a start each, not a second task to let each go";
  for (const auto& op : quick) EXPECT_TRUE(op.expired());
  EXPECT_FALSE(slowHeld.expired()) << "still running";
  loop.advance(1.0);
  EXPECT_EQ(log.back(), "slow:end");
  EXPECT_TRUE(slowHeld.expired()) << "let go after its finish() returned";
}

}  // namespace
}  // namespace tilvane::dispatch
