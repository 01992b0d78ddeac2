#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/rx/PublishSubject.h"
#include "support/TestEnvironment.h"

namespace tilvane::rx {
namespace {

TEST(PublishSubject, DeliversOnlyLaterEventsInOrderBeforeOnNextReturns) {
  PublishSubject<int> subject;
  subject.onNext(1);  // nobody listens: lost
  std::vector<std::string> got;
  DisposeBag bag;
  subject.subscribe([&](int v) { got.push_back("a" + std::to_string(v)); }).disposed(bag);
  subject.onNext(2);
  subject.subscribe([&](int v) { got.push_back("b" + std::to_string(v)); }).disposed(bag);
  subject.onNext(3);
  EXPECT_EQ(got, (std::vector<std::string>{"a2", "a3", "b3"}));
}

TEST(PublishSubject, DisposedSubscribersAreNeverCalledEvenMidDelivery) {
  PublishSubject<Unit> subject;
  int first = 0, second = 0;
  Disposable secondSub;
  auto firstSub = subject.subscribe([&](Unit) {
    ++first;
    secondSub.dispose();  // the second subscriber goes before its turn
  });
  secondSub = subject.subscribe([&](Unit) { ++second; });
  subject.onNext();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(second, 0);
  firstSub.dispose();
  subject.onNext();
  EXPECT_EQ(first, 1);
  EXPECT_EQ(subject.observerCount(), 0u);
}

TEST(PublishSubject, DisposeBagEndsItsSubscriptionsAndOutlivingTheSubjectIsSafe) {
  int got = 0;
  auto bag = std::make_unique<DisposeBag>();
  {
    PublishSubject<int> subject;
    subject.subscribe([&](int v) { got += v; }).disposed(*bag);
    subject.onNext(5);
    bag->dispose();
    subject.onNext(7);
    subject.subscribe([&](int v) { got += 100 * v; }).disposed(*bag);
    subject.onNext(1);
  }
  bag.reset();  // disposes a subscription of a subject that is gone
  EXPECT_EQ(got, 105);
}

TEST(Observable, MapFilterAndMerge) {
  PublishSubject<int> a;
  PublishSubject<int> b;
  std::vector<std::string> got;
  DisposeBag bag;
  Observable<int>::merge({a.asObservable(), b.asObservable()})
      .filter([](int v) { return v % 2 == 0; })
      .map([](int v) { return std::to_string(v * 10); })
      .subscribe([&](const std::string& s) { got.push_back(s); })
      .disposed(bag);
  a.onNext(2);
  b.onNext(3);
  b.onNext(4);
  a.onNext(6);
  EXPECT_EQ(got, (std::vector<std::string>{"20", "40", "60"}));
}

class TimedOperators : public test::WorldTest {
 protected:
  double elapsed() { return loop().elapsed(); }
};

TEST_F(TimedOperators, DebounceEmitsTheLastValueOnceAfterAQuietPeriod) {
  PublishSubject<int> subject;
  std::vector<std::pair<int, double>> got;
  DisposeBag bag;
  subject.asObservable().debounce(2.0).subscribe([&](int v) { got.emplace_back(v, elapsed()); }).disposed(bag);
  subject.onNext(1);  // t = 0
  advance(1.5);
  subject.onNext(2);  // t = 1.5
  advance(1.5);
  subject.onNext(3);  // t = 3.0
  advance(1.99);
  EXPECT_TRUE(got.empty());
  advance(10);
  ASSERT_EQ(got.size(), 1u);
  EXPECT_EQ(got[0].first, 3);
  EXPECT_DOUBLE_EQ(got[0].second, 5.0);

  auto pending = subject.asObservable().debounce(0.5).subscribe([&](int v) { got.emplace_back(v, 0); });
  subject.onNext(9);
  pending.dispose();  // a disposed debounce drops its pending value
  advance(10);
  EXPECT_EQ(got.size(), 2u);  // only the first subscription's 9
}

// Throttle: the first value passes at once; values inside the window are held and the latest one is emitted
// when the window ends, which opens the next window.
TEST_F(TimedOperators, ThrottleEmitsFirstAtOnceThenTheLatestAtEachWindowEnd) {
  PublishSubject<int> subject;
  std::vector<std::pair<int, double>> got;
  DisposeBag bag;
  subject.asObservable().throttle(0.3).subscribe([&](int v) { got.emplace_back(v, elapsed()); }).disposed(bag);
  subject.onNext(1);  // t = 0: passes
  advance(0.1);
  subject.onNext(2);  // held
  advance(0.1);
  subject.onNext(3);  // replaces 2
  advance(0.2);       // window ends at 0.3: 3 emitted, new window until 0.6
  subject.onNext(4);  // t = 0.4: held
  advance(0.3);       // 0.6: 4 emitted, window until 0.9
  advance(1.0);       // 0.9: nothing held, window closes
  subject.onNext(5);  // t = 1.7: passes at once
  ASSERT_EQ(got.size(), 4u);
  EXPECT_EQ(got[0], std::make_pair(1, 0.0));
  EXPECT_EQ(got[1].first, 3);
  EXPECT_NEAR(got[1].second, 0.3, 1e-12);
  EXPECT_EQ(got[2].first, 4);
  EXPECT_NEAR(got[2].second, 0.6, 1e-12);
  EXPECT_EQ(got[3].first, 5);
  EXPECT_NEAR(got[3].second, 1.7, 1e-12);
}

}  // namespace
}  // namespace tilvane::rx
