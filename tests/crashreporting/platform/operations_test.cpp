#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <future>
#include <mutex>
#include <vector>

#include "crashreporting/platform/ConcurrentQueue.h"
#include "crashreporting/platform/MainExecutor.h"
#include "crashreporting/platform/OperationQueue.h"
#include "crashreporting/platform/RepeatingTimer.h"
#include "crashreporting/platform/SerialQueue.h"

namespace crashreporting {
namespace {

/// Records the order in which things happen, from any thread.
class Journal {
 public:
  void add(std::string entry) {
    const std::lock_guard lock(mutex_);
    entries_.push_back(std::move(entry));
  }
  std::vector<std::string> entries() const {
    const std::lock_guard lock(mutex_);
    return entries_;
  }

 private:
  mutable std::mutex mutex_;
  std::vector<std::string> entries_;
};

/// An operation that records its run, optionally holding until released.
class Step : public Operation {
 public:
  Step(Journal& journal, std::string name, std::shared_future<void> gate = {})
      : journal_(journal), name_(std::move(name)), gate_(std::move(gate)) {}
  void main() override {
    if (gate_.valid()) gate_.wait();
    journal_.add(name_);
  }

 private:
  Journal& journal_;
  std::string name_;
  std::shared_future<void> gate_;
};

TEST(SerialQueueTest, RunsInOrderOneAtATimeAndSyncFromItsOwnTaskDoesNotDeadlock) {
  SerialQueue queue("test.serial");
  std::vector<int> order;
  std::atomic<int> running{0};
  bool overlapped = false;
  for (int i = 0; i < 50; ++i) {
    queue.async([&, i] {
      if (running.fetch_add(1) != 0) overlapped = true;
      order.push_back(i);
      running.fetch_sub(1);
    });
  }
  int inner = 0;
  queue.sync([&] { queue.sync([&] { inner = 1; }); });
  EXPECT_EQ(inner, 1);
  EXPECT_FALSE(overlapped);
  ASSERT_EQ(order.size(), 50u);
  for (int i = 0; i < 50; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_EQ(queue.syncResult([] { return 42; }), 42);
}

TEST(ConcurrentQueueTest, RunsTasksSideBySide) {
  ConcurrentQueue queue("test.concurrent", 4);
  // Each task waits for the other: only side by side can both end.
  // The futures are taken here: a task still on its way out must not reach a promise the test has let go of.
  auto first = std::make_shared<std::promise<void>>();
  auto second = std::make_shared<std::promise<void>>();
  auto done = std::make_shared<std::promise<void>>();
  const auto finished = done->get_future();
  queue.async([first, second, secondSet = second->get_future().share()] {
    first->set_value();
    secondSet.wait();
  });
  queue.async([first, second, firstSet = first->get_future().share(), done] {
    firstSet.wait();
    second->set_value();
    done->set_value();
  });
  EXPECT_EQ(finished.wait_for(std::chrono::seconds(10)), std::future_status::ready);
}

TEST(MainExecutorTest, DrivenByTheHostItRunsOnlyInsidePumpOnTheHostsThread) {
  MainExecutor main;
  main.driveByHost();
  std::vector<std::thread::id> ran;
  main.async([&] {
    ran.push_back(std::this_thread::get_id());
    main.async([&] { ran.push_back(std::this_thread::get_id()); });  // queued by a task: the next pump
  });
  EXPECT_TRUE(ran.empty());
  EXPECT_EQ(main.pump(), 1u);
  EXPECT_EQ(ran, std::vector<std::thread::id>{std::this_thread::get_id()});
  EXPECT_EQ(main.pump(), 1u);
  EXPECT_EQ(main.pump(), 0u);
  EXPECT_EQ(ran.size(), 2u);
}

TEST(MainExecutorTest, ByDefaultRunsOnItsOwnThread) {
  MainExecutor main;
  std::promise<std::thread::id> where;
  main.async([&] { where.set_value(std::this_thread::get_id()); });
  EXPECT_NE(where.get_future().get(), std::this_thread::get_id());
}

TEST(OperationQueueTest, ASerialQueueStartsReadyOperationsInTheOrderAdded) {
  Journal journal;
  std::promise<void> release;
  const std::shared_future<void> gate = release.get_future().share();
  OperationQueue queue("test.ops");
  queue.setMaxConcurrentOperationCount(1);
  // "first" holds the queue while the others are added; "blocked" waits for "late", which is added last.
  auto first = std::make_shared<Step>(journal, "first", gate);
  auto blocked = std::make_shared<Step>(journal, "blocked");
  auto second = std::make_shared<Step>(journal, "second");
  auto late = std::make_shared<Step>(journal, "late");
  blocked->addDependency(late);
  queue.addOperation(first);
  queue.addOperation(blocked);
  queue.addOperation(second);
  queue.addOperation(late);
  EXPECT_EQ(queue.operationCount(), 4u);
  release.set_value();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(journal.entries(), (std::vector<std::string>{"first", "second", "late", "blocked"}));
  EXPECT_EQ(queue.operationCount(), 0u);
  EXPECT_TRUE(blocked->isFinished());
  EXPECT_FALSE(blocked->isExecuting());
}

// A raised priority goes ahead of the ready operations of normal priority, but never ahead of one it waits for,
// and operations of one priority keep the order they were added in.
TEST(OperationQueueTest, AHigherPriorityStartsFirstAmongTheReadyOnes) {
  Journal journal;
  std::promise<void> release;
  const std::shared_future<void> gate = release.get_future().share();
  OperationQueue queue("test.priorities");
  queue.setMaxConcurrentOperationCount(1);
  const auto step = [&](const std::string& name, Operation::QueuePriority priority) {
    auto operation = std::make_shared<Step>(journal, name);
    operation->setQueuePriority(priority);
    return operation;
  };
  using P = Operation::QueuePriority;
  auto waited = step("waited", P::normal);
  auto urgent = step("urgent", P::veryHigh);
  urgent->addDependency(waited);
  queue.addOperation(std::make_shared<Step>(journal, "first", gate));
  queue.addOperation(step("a", P::normal));
  queue.addOperation(step("b", P::normal));
  queue.addOperation(step("high1", P::high));
  queue.addOperation(urgent);
  queue.addOperation(step("low", P::low));
  queue.addOperation(step("c", P::normal));
  queue.addOperation(waited);
  queue.addOperationWithBlock([&] { journal.add("high2"); }, P::high);
  release.set_value();
  queue.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(journal.entries(),
            (std::vector<std::string>{"first", "high1", "high2", "a", "b", "c", "waited", "urgent", "low"}));
}

TEST(OperationQueueTest, DependenciesOnAnotherQueueAndCancelledDependenciesAreHonoured) {
  Journal journal;
  std::promise<void> release;
  OperationQueue queueA;
  OperationQueue queueB;
  auto dependency = std::make_shared<Step>(journal, "dependency", release.get_future().share());
  auto dependent = std::make_shared<Step>(journal, "dependent");
  dependent->addDependency(dependency);
  queueA.addOperation(dependent);
  queueB.addOperation(dependency);
  release.set_value();
  queueA.waitUntilAllOperationsAreFinished();
  EXPECT_EQ(journal.entries(), (std::vector<std::string>{"dependency", "dependent"}));

  // A cancelled dependency that is in no queue still counts as done.
  auto neverRun = std::make_shared<Step>(journal, "never");
  auto afterCancelled = std::make_shared<Step>(journal, "after-cancelled");
  afterCancelled->addDependency(neverRun);
  queueA.addOperation(afterCancelled);
  neverRun->cancel();
  afterCancelled->waitUntilFinished();
  EXPECT_EQ(journal.entries().back(), "after-cancelled");
}

TEST(OperationQueueTest, ACancelledOperationNeverRunsAndCompletionBlocksRunAfterFinishing) {
  Journal journal;
  OperationQueue queue;
  auto cancelled = std::make_shared<Step>(journal, "cancelled");
  cancelled->cancel();
  std::promise<bool> finishedAtCompletion;
  auto ran = std::make_shared<Step>(journal, "ran");
  ran->setCompletionBlock([&, op = ran.get()] { finishedAtCompletion.set_value(op->isFinished()); });
  queue.addOperations({cancelled, ran}, true);
  EXPECT_EQ(journal.entries(), std::vector<std::string>{"ran"});
  EXPECT_TRUE(cancelled->isFinished());
  EXPECT_TRUE(finishedAtCompletion.get_future().get());
}

TEST(OperationTest, AnnouncesExecutingThenFinishedAndStartsOnlyOnce) {
  Journal journal;
  auto step = std::make_shared<Step>(journal, "step");
  std::vector<std::string> seen;
  step->addObserver([&](Operation& op, std::string_view key) {
    const bool state = key == "isFinished" ? op.isFinished() : op.isExecuting();
    seen.push_back(std::string(key) + "=" + (state ? "1" : "0"));
  });
  step->start();
  step->start();
  EXPECT_EQ(journal.entries(), std::vector<std::string>{"step"});
  EXPECT_EQ(seen, (std::vector<std::string>{"isExecuting=1", "isExecuting=0", "isFinished=1"}));
}

TEST(RepeatingTimer, QueuesItsTaskOnTheQueueAgainAndAgainUntilItGoes) {
  SerialQueue queue("timer");
  std::mutex mutex;
  std::condition_variable ticked;
  int ticks = 0;
  bool onQueue = true;
  {
    RepeatingTimer timer(std::chrono::milliseconds(1), queue, [&] {
      const std::lock_guard lock(mutex);
      onQueue = onQueue && queue.isCurrent();
      ++ticks;
      ticked.notify_all();
    });
    std::unique_lock lock(mutex);
    ASSERT_TRUE(ticked.wait_for(lock, std::chrono::seconds(30), [&] { return ticks >= 3; }));
  }
  queue.sync([] {});
  const std::lock_guard lock(mutex);
  const int stoppedAt = ticks;
  EXPECT_TRUE(onQueue);
  queue.sync([] {});
  EXPECT_EQ(ticks, stoppedAt) << "nothing is queued once the timer has gone";
}

}  // namespace
}  // namespace crashreporting
