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

}  // namespace
}  // namespace tilvane::dispatch
