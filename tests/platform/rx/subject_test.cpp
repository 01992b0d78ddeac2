#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "platform/rx/PublishSubject.h"
#include "support/TestEnvironment.h"

namespace tilvane::rx {
namespace {

using Strings = std::vector<std::string>;

TEST(PublishSubject, DeliversOnlyLaterEventsInOrderToSubscribersNotDisposed) {
  PublishSubject<int> subject;
  subject.onNext(1);  // nobody listens: lost
  std::vector<int> got;
  auto bag = std::make_unique<DisposeBag>();
  Disposable second;
  subject.subscribe([&](int v) {
    got.push_back(100 + v);
    if (v == 3) second.dispose();  // the second subscriber goes before its turn
  }).disposed(*bag);
  subject.onNext(2);
  second = subject.subscribe([&](int v) { got.push_back(200 + v); });
  subject.subscribe([&](int v) { got.push_back(300 + v); }).disposed(*bag);
  subject.onNext(3);
  bag->dispose();
  subject.onNext(4);
  EXPECT_EQ(got, (std::vector<int>{102, 103, 303}));  // 1xx, 2xx, 3xx: first, second, third
  EXPECT_EQ(subject.observerCount(), 0u);

  {
    PublishSubject<int> gone;
    gone.subscribe([](int) {}).disposed(*bag);
  }
  bag.reset();  // disposes a subscription of a subject that is gone
}

TEST(Observable, MapFilterAndMerge) {
  PublishSubject<int> a;
  PublishSubject<int> b;
  Strings got;
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
  EXPECT_EQ(got, (Strings{"20", "40", "60"}));
}

// Values with the virtual time, in milliseconds, at which they came out.
class TimedOperators : public test::WorldTest {
 protected:
  using Timed = std::vector<std::pair<int, long>>;
  void record(const Observable<int>& o) {
    o.subscribe([this](int v) { got.emplace_back(v, std::lround(loop().elapsed() * 1000)); }).disposed(bag);
  }
  PublishSubject<int> subject;
  Timed got;
  DisposeBag bag;
};

TEST_F(TimedOperators, DebounceEmitsTheLastValueOnceAfterAQuietPeriod) {
  record(subject.asObservable().debounce(2.0));
  subject.onNext(1);
  advance(1.5);
  subject.onNext(2);
  advance(1.5);
  subject.onNext(3);
  advance(1.99);
  EXPECT_TRUE(got.empty());
  advance(10);
  EXPECT_EQ(got, (Timed{{3, 5000}}));

  auto pending = subject.asObservable().debounce(0.5).subscribe([&](int v) { got.emplace_back(v, 0); });
  subject.onNext(9);
  pending.dispose();  // a disposed debounce drops its pending value
  advance(10);
  EXPECT_EQ(got, (Timed{{3, 5000}, {9, 16990}}));  // only the first subscription's 9
}

// The first value passes at once; values inside the window are held and the latest is emitted when the window
// ends, which opens the next window.
TEST_F(TimedOperators, ThrottleEmitsFirstAtOnceThenTheLatestAtEachWindowEnd) {
  record(subject.asObservable().throttle(0.3));
  subject.onNext(1);  // t = 0: passes
  advance(0.1);
  subject.onNext(2);  // held
  advance(0.1);
  subject.onNext(3);  // replaces 2
  advance(0.2);       // window ends at 0.3: 3 emitted, new window until 0.6
  subject.onNext(4);  // t = 0.4: held
  advance(1.3);       // 0.6: 4 emitted; 0.9: nothing held, the window closes
  subject.onNext(5);  // t = 1.7: passes at once
  EXPECT_EQ(got, (Timed{{1, 0}, {3, 300}, {4, 600}, {5, 1700}}));
}

}  // namespace
}  // namespace tilvane::rx
