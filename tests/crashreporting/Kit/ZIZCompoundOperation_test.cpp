#include "crashreporting/Kit/ZIZCompoundOperation.h"

#include <gtest/gtest.h>

#include <chrono>
#include <future>
#include <mutex>
#include <thread>

namespace crashreporting {
namespace {

/// A step that finishes when the test says so, with the outcome it is given.
class ManualStep : public ZIZAsyncOperation {
 public:
  void main() override { started_.set_value(); }
  void waitStarted() { started_.get_future().wait(); }

 private:
  std::promise<void> started_;
};

/// A step that finishes at once with the error it was made with.
class InstantStep : public ZIZAsyncOperation {
 public:
  explicit InstantStep(std::optional<Error> outcome = std::nullopt) : outcome_(std::move(outcome)) {}
  void main() override { finishWithError(outcome_); }

 private:
  std::optional<Error> outcome_;
};

/// Collects the completions of an operation.
struct Completions {
  std::mutex mutex;
  std::vector<std::optional<Error>> calls;
  std::promise<void> first;

  ZIZAsyncOperation::AsyncCompletion block() {
    return [this](const std::optional<Error>& error) {
      const std::lock_guard lock(mutex);
      calls.push_back(error);
      if (calls.size() == 1) first.set_value();
    };
  }
  std::optional<Error> waitFirst() {
    first.get_future().wait();
    const std::lock_guard lock(mutex);
    return calls.front();
  }
  std::size_t count() {
    const std::lock_guard lock(mutex);
    return calls.size();
  }
};

/// Lets what runs on other threads (completion blocks, late finishes) settle before counting.
void settle(ZIZCompoundOperation& op) {
  op.waitUntilFinished();
  op.countingQueue().sync([] {});
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  op.countingQueue().sync([] {});
}

Error subError() { return Error{"test.domain", 7, {{kLocalizedDescriptionKey, Value("E")}}, {}}; }

TEST(ZIZAsyncOperationTest, CancelledBeforeStartItNeverRunsAndEndsFinishedNotExecuting) {
  auto step = std::make_shared<InstantStep>();
  bool ran = false;
  step->setAsyncCompletion([&](const std::optional<Error>&) { ran = true; });
  step->cancel();
  step->start();
  EXPECT_FALSE(ran);
  EXPECT_TRUE(step->isFinished());
  EXPECT_FALSE(step->isExecuting());
  EXPECT_EQ(step->lockName(), "com.zizozu.ZIZAsyncOperation-lock");
}

TEST(ZIZAsyncOperationTest, FinishesOnceWithItsCompletionBeforeTheFinishedState) {
  auto step = std::make_shared<ManualStep>();
  std::vector<std::string> order;
  step->setAsyncCompletion([&](const std::optional<Error>& e) {
    order.push_back(std::string("completion:") + (e ? "error" : "none") + (step->isFinished() ? ":finished" : ""));
  });
  step->addObserver([&](Operation& op, std::string_view key) {
    if (key == "isFinished") order.push_back(op.isFinished() ? "finished" : "not finished");
  });
  step->start();
  EXPECT_TRUE(step->isExecuting());
  step->finishWithError(std::nullopt);
  step->finishWithError(subError());  // a second finish is ignored
  EXPECT_EQ(order, (std::vector<std::string>{"completion:none", "finished"}));
  EXPECT_FALSE(step->isExecuting());
}

TEST(ZIZCompoundOperationTest, OneFailingSubOperationGivesOneCompletionWithTheUnderlyingError) {
  auto compound = std::make_shared<ZIZCompoundOperation>();
  std::vector<std::string> order;
  std::mutex orderMutex;
  auto failing = std::make_shared<InstantStep>(subError());
  // The sub-operation's own completion still runs, and before the compound counts it.
  failing->setAsyncCompletion([&, c = compound.get()](const std::optional<Error>&) {
    const std::lock_guard lock(orderMutex);
    order.push_back("own completion, errors counted: " + std::to_string(c->errors().size()));
  });
  compound->setOperations({std::make_shared<InstantStep>(), failing, std::make_shared<InstantStep>()});
  Completions completions;
  compound->setAsyncCompletion(completions.block());
  OperationQueue queue;
  queue.addOperation(compound);

  const auto error = completions.waitFirst();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->domain, "com.zizozu.ZIZCompoundOperation.error");
  EXPECT_EQ(error->code, 4294967293);
  EXPECT_EQ(error->errorList("com.zizozu.ZIZCompoundOperation.error.user-info-key.underlying-errors"),
            std::vector<Error>{subError()});
  settle(*compound);
  EXPECT_EQ(completions.count(), 1u);
  EXPECT_EQ(compound->completedOperations(), 2u);
  EXPECT_EQ(order, std::vector<std::string>{"own completion, errors counted: 0"});
  EXPECT_EQ(compound->errors().size(), 1u);
  EXPECT_TRUE(compound->isFinished());
}

TEST(ZIZCompoundOperationTest, AllSucceedingFinishesWithoutErrorAndAnEmptyOneFinishesAtOnce) {
  for (const std::size_t count : {3u, 0u}) {
    auto compound = std::make_shared<ZIZCompoundOperation>();
    std::vector<std::shared_ptr<ZIZAsyncOperation>> subs;
    for (std::size_t i = 0; i < count; ++i) subs.push_back(std::make_shared<InstantStep>());
    compound->setOperations(subs);
    Completions completions;
    compound->setAsyncCompletion(completions.block());
    OperationQueue queue;
    queue.addOperation(compound);
    EXPECT_EQ(completions.waitFirst(), std::nullopt) << count;
    settle(*compound);
    EXPECT_EQ(completions.count(), 1u);
  }
}

TEST(ZIZCompoundOperationTest, CancellingARunningCompoundGivesOneCancelledCompletionAfterItsStepsEnd) {
  auto compound = std::make_shared<ZIZCompoundOperation>();
  compound->setName("upload");
  auto slow = std::make_shared<ManualStep>();
  auto quick = std::make_shared<InstantStep>();
  compound->setOperations({slow, quick});
  Completions completions;
  compound->setAsyncCompletion(completions.block());
  OperationQueue queue;
  queue.addOperation(compound);
  slow->waitStarted();

  compound->cancel();
  std::this_thread::sleep_for(std::chrono::milliseconds(20));
  EXPECT_EQ(completions.count(), 0u);  // the slow step is still at work
  slow->finishWithError(std::nullopt);

  const auto error = completions.waitFirst();
  ASSERT_TRUE(error);
  EXPECT_EQ(error->code, 4294967294);
  EXPECT_EQ(error->localizedDescription(), "upload cancelled");
  settle(*compound);
  EXPECT_EQ(completions.count(), 1u);
  compound->finishWithError(subError());  // finished is final
  EXPECT_EQ(completions.count(), 1u);
}

TEST(ZIZCompoundOperationTest, CancelledBeforeStartNeitherItNorItsStepsRun) {
  auto compound = std::make_shared<ZIZCompoundOperation>();
  auto step = std::make_shared<ManualStep>();
  bool stepRan = false;
  step->setAsyncCompletion([&](const std::optional<Error>&) { stepRan = true; });
  compound->setOperations({step});
  Completions completions;
  compound->setAsyncCompletion(completions.block());
  compound->cancel();
  step->waitUntilFinished();
  OperationQueue queue;
  queue.addOperation(compound);
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_TRUE(compound->isFinished());
  EXPECT_FALSE(stepRan);
  EXPECT_EQ(completions.count(), 0u);
}

}  // namespace
}  // namespace crashreporting
