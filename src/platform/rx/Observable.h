#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <type_traits>
#include <vector>

#include "platform/dispatch/MainQueue.h"
#include "platform/rx/Disposable.h"

namespace tilvane::rx {

/// The element of a pure signal.
struct Unit {
  bool operator==(const Unit&) const = default;
};

/// A stream of values that subscribers receive synchronously, on the thread that sends them. Cheap to copy:
/// it is only the recipe for subscribing. Operators that wait (debounce, throttle) run their timers on the
/// main loop installed at subscription time, so they follow the virtual clock in tests.
template <class T>
class Observable {
 public:
  using Observer = std::function<void(const T&)>;
  using SubscribeFn = std::function<Disposable(Observer)>;

  explicit Observable(SubscribeFn subscribe) : subscribe_(std::move(subscribe)) {}

  Disposable subscribe(Observer onNext) const { return subscribe_(std::move(onNext)); }

  template <class F>
  auto map(F f) const -> Observable<std::decay_t<std::invoke_result_t<F, const T&>>> {
    using U = std::decay_t<std::invoke_result_t<F, const T&>>;
    auto up = *this;
    return Observable<U>([up, f](typename Observable<U>::Observer down) {
      return up.subscribe([f, down](const T& v) { down(f(v)); });
    });
  }

  template <class P>
  Observable<T> filter(P pred) const {
    auto up = *this;
    return Observable<T>([up, pred](Observer down) {
      return up.subscribe([pred, down](const T& v) {
        if (pred(v)) down(v);
      });
    });
  }

  /// Emits a value once `seconds` have passed without a newer one; the newer one restarts the wait.
  Observable<T> debounce(double seconds) const {
    auto up = *this;
    return Observable<T>([up, seconds](Observer down) {
      struct State {
        dispatch::MainLoop* loop = dispatch::MainQueue::loop();
        dispatch::TaskId pending = 0;
        std::optional<T> latest;
      };
      auto st = std::make_shared<State>();
      std::weak_ptr<State> weak = st;
      auto upstream = std::make_shared<Disposable>(up.subscribe([weak, seconds, down](const T& v) {
        auto s = weak.lock();
        if (!s || !s->loop) return;
        s->latest = v;
        if (s->pending) s->loop->cancel(s->pending);
        s->pending = s->loop->asyncAfter(seconds, [weak, down] {
          auto s2 = weak.lock();
          if (!s2 || !s2->latest) return;
          s2->pending = 0;
          T value = std::move(*s2->latest);
          s2->latest.reset();
          down(value);
        });
      }));
      return Disposable([st, upstream]() mutable {
        if (st->pending && st->loop) st->loop->cancel(st->pending);
        upstream->dispose();
        st.reset();
      });
    });
  }

  /// Emits the first value at once, then at most one value per `seconds`: a value that arrives inside the
  /// window is held, and the latest one held is emitted when the window ends (which opens a new window).
  Observable<T> throttle(double seconds) const {
    auto up = *this;
    return Observable<T>([up, seconds](Observer down) {
      struct State {
        dispatch::MainLoop* loop = dispatch::MainQueue::loop();
        dispatch::TaskId window = 0;
        std::optional<T> latest;
      };
      auto st = std::make_shared<State>();
      std::weak_ptr<State> weak = st;
      auto openWindow = std::make_shared<std::function<void()>>();
      *openWindow = [weak, seconds, down, openWindowWeak = std::weak_ptr(openWindow)] {
        auto s = weak.lock();
        if (!s || !s->loop) return;
        s->window = s->loop->asyncAfter(seconds, [weak, down, openWindowWeak] {
          auto s2 = weak.lock();
          if (!s2) return;
          s2->window = 0;
          if (!s2->latest) return;
          T value = std::move(*s2->latest);
          s2->latest.reset();
          if (auto reopen = openWindowWeak.lock()) (*reopen)();
          down(value);
        });
      };
      auto upstream = std::make_shared<Disposable>(up.subscribe([weak, down, openWindow](const T& v) {
        auto s = weak.lock();
        if (!s) return;
        if (s->window) {
          s->latest = v;
          return;
        }
        (*openWindow)();
        down(v);
      }));
      return Disposable([st, upstream, openWindow]() mutable {
        if (st->window && st->loop) st->loop->cancel(st->window);
        upstream->dispose();
        st.reset();
      });
    });
  }

  /// One stream of the values of all `sources`, each as it arrives.
  static Observable<T> merge(std::vector<Observable<T>> sources) {
    return Observable<T>([sources](Observer down) {
      auto subs = std::make_shared<std::vector<Disposable>>();
      for (const auto& s : sources) subs->push_back(s.subscribe(down));
      return Disposable([subs] {
        for (auto& d : *subs) d.dispose();
      });
    });
  }

 private:
  SubscribeFn subscribe_;
};

}  // namespace tilvane::rx
