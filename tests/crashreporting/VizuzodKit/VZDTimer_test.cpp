// The kit's repeating timer on a virtual clock, process activities, and the host-bundle questions.
#include "crashreporting/VizuzodKit/VZDTimer.h"

#include <gtest/gtest.h>

#include <atomic>

#include "crashreporting/VizuzodKit/VZDActivity.h"
#include "crashreporting/VizuzodKit/VZDApplication.h"
#include "crashreporting/support/LibraryTest.h"
#include "crashreporting/support/VirtualScheduler.h"

namespace crashreporting::test {
namespace {

class VZDTimerTest : public LibraryTest {
 protected:
  VZDTimerTest() { queue_->setMaxConcurrentOperationCount(1); }
  /// Ticks that reached the queue and ran there.
  int fired() {
    queue_->waitUntilAllOperationsAreFinished();
    return fired_;
  }

  VirtualScheduler clock_;
  std::shared_ptr<OperationQueue> queue_ = std::make_shared<OperationQueue>("events");
  std::atomic<int> fired_{0};
};

TEST_F(VZDTimerTest, FiresOnTheQueueEveryIntervalUntilReleased) {
  auto timer = std::make_unique<VZDTimer>(60.0, queue_, "flush", [this] { ++fired_; }, clock_.scheduler());
  EXPECT_EQ(timer->tolerance(), 6.0);
  EXPECT_EQ(timer->timerIdentifier(), "flush");
  clock_.advance(59.9);
  EXPECT_EQ(fired(), 0);
  clock_.advance(0.1);
  EXPECT_EQ(fired(), 1);
  clock_.advance(180.0);
  EXPECT_EQ(fired(), 4);
  timer->scheduleTimer();  // afresh: the next tick is a whole interval away
  clock_.advance(30.0);
  EXPECT_EQ(fired(), 4);
  timer->executeBlock();
  EXPECT_EQ(fired(), 5);
  timer.reset();
  clock_.advance(600.0);
  EXPECT_EQ(fired(), 5);
  EXPECT_EQ(clock_.pendingCount(), 0u);
}

TEST_F(VZDTimerTest, IntervalsThatCannotRepeatScheduleNothingAndHugeOnesAreCut) {
  for (const double interval : {0.0, -1.0, std::nan("")}) {
    VZDTimer timer(interval, queue_, "flush", [this] { ++fired_; }, clock_.scheduler());
    EXPECT_EQ(clock_.pendingCount(), 0u) << interval;
  }
  VZDTimer huge(1e300, queue_, "flush", [this] { ++fired_; }, clock_.scheduler());
  ASSERT_EQ(clock_.delays().size(), 1u);
  EXPECT_EQ(clock_.delays()[0], VZDTimer::kMaximumInterval);
}

TEST(VZDActivityTest, ActivitiesThatKeepTheProcessAliveAreCountedUntilTheyEnd) {
  const int before = VZDActivity::activitiesInProgress();
  auto recording = VZDActivity::beginActivity("record", VZDActivityRecordingOptions);
  const auto plain = VZDActivity::beginActivity("plain", 0xFF);  // asks for nothing that is counted
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before + 1);
  recording->end();
  recording->end();
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before);
  EXPECT_EQ(recording->backgroundTaskIdentifier(), 0u);

  VZDActivity::performActivity("perform", VZDActivitySubmittingOptions,
                               [&] { EXPECT_EQ(VZDActivity::activitiesInProgress(), before + 1); });
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before);

  // An operation holds its activity until it runs, or until it goes without running.
  OperationQueue queue;
  auto held = VZDActivityOperation::operationByStartingActivityName("submit", VZDActivitySubmittingOptions);
  auto blocker = std::make_shared<Operation>();
  held->addDependency(blocker);
  queue.addOperation(held);
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before + 1);
  queue.addOperation(blocker);
  held->waitUntilFinished();
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before);
  auto dropped = VZDActivityOperation::operationByStartingActivityName("record", VZDActivityRecordingOptions);
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before + 1);
  dropped.reset();
  EXPECT_EQ(VZDActivity::activitiesInProgress(), before);
}

class VZDApplicationTest : public LibraryTest {};

TEST_F(VZDApplicationTest, AnExtensionIsKnownByItsPointIdentifierAndBadEntriesAreLogged) {
  const VZDApplication app(Dictionary{{"CFBundleIdentifier", Value("com.example.app")},
                                      {"CFBundleVersion", Value("42")},
                                      {"CFBundleShortVersionString", Value(3)}});
  EXPECT_EQ(app.bundleIdentifier(), "com.example.app");
  EXPECT_EQ(app.bundleVersion(), "42");
  EXPECT_FALSE(app.shortVersionString());  // not a string
  EXPECT_FALSE(app.isExtension());
  EXPECT_TRUE(log_.lines().empty());  // an ordinary application has nothing wrong with it

  const VZDApplication extension(Dictionary{
      {"NSExtension", Value(Dictionary{{"NSExtensionPointIdentifier", Value("com.example.point")}})}});
  EXPECT_EQ(extension.extensionPointIdentifier(), "com.example.point");
  EXPECT_TRUE(extension.isExtension());

  EXPECT_FALSE(VZDApplication(Dictionary{{"NSExtension", Value("text")}}).isExtension());
  EXPECT_FALSE(VZDApplication(Dictionary{{"NSExtension", Value(Dictionary{{"NSExtensionPointIdentifier", Value(1)}})}})
                   .isExtension());
  const auto lines = log_.lines();
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].rfind("Error: NSExtension Info.plist entry is mal-formed ", 0), 0u);
  EXPECT_EQ(lines[1], "Error: NSExtensionPointIdentifier Info.plist entry is mal-formed");

  MainBundle::set(BundleInfo{{{"CFBundleIdentifier", Value("com.example.host")}}, std::nullopt});
  EXPECT_EQ(VZDApplication::hostApplication().bundleIdentifier(), "com.example.host");
}

}  // namespace
}  // namespace crashreporting::test
