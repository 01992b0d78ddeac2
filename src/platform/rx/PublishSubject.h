#pragma once

#include <algorithm>
#include <atomic>
#include <memory>
#include <mutex>
#include <vector>

#include "platform/rx/Observable.h"

namespace tilvane::rx {

/// A subject without memory: a subscriber gets only what is sent after it subscribed, each value once, in order,
/// synchronously on the sender's thread; every current subscriber has been called when onNext returns, and a
/// subscriber disposed of (even by another subscriber during delivery) is not called again.
template <class T>
class PublishSubject {
 public:
  using Observer = std::function<void(const T&)>;

  PublishSubject() : core_(std::make_shared<Core>()) {}

  void onNext(const T& value) const {
    std::vector<std::shared_ptr<Entry>> snapshot;
    {
      std::lock_guard lock(core_->mutex);
      snapshot = core_->entries;
    }
    for (const auto& e : snapshot)
      if (e->alive.load()) e->observer(value);
  }

  /// Sends a pure signal.
  void onNext() const
    requires std::is_same_v<T, Unit>
  {
    onNext(Unit{});
  }

  Disposable subscribe(Observer observer) const { return subscribeTo(core_, std::move(observer)); }

  Observable<T> asObservable() const {
    auto core = core_;
    return Observable<T>([core](Observer o) { return subscribeTo(core, std::move(o)); });
  }

  std::size_t observerCount() const {
    std::lock_guard lock(core_->mutex);
    return core_->entries.size();
  }

 private:
  struct Entry {
    explicit Entry(Observer o) : observer(std::move(o)) {}
    Observer observer;
    std::atomic<bool> alive{true};
  };
  struct Core {
    std::mutex mutex;
    std::vector<std::shared_ptr<Entry>> entries;
  };

  static Disposable subscribeTo(const std::shared_ptr<Core>& core, Observer observer) {
    auto entry = std::make_shared<Entry>(std::move(observer));
    {
      std::lock_guard lock(core->mutex);
      core->entries.push_back(entry);
    }
    std::weak_ptr<Core> weakCore = core;
    std::weak_ptr<Entry> weakEntry = entry;
    return Disposable([weakCore, weakEntry] {
      auto e = weakEntry.lock();
      if (!e) return;
      e->alive.store(false);
      if (auto c = weakCore.lock()) {
        std::lock_guard lock(c->mutex);
        std::erase(c->entries, e);
      }
    });
  }

  std::shared_ptr<Core> core_;
};

}  // namespace tilvane::rx
