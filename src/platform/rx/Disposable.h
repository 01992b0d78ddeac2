#pragma once

#include <functional>
#include <utility>
#include <vector>

namespace tilvane::rx {

/// Ends a subscription. Move-only; disposing twice, or after the source is gone, is harmless. Dropping a
/// Disposable without disposing it keeps the subscription alive: keep it in a DisposeBag.
class Disposable {
 public:
  Disposable() = default;
  explicit Disposable(std::function<void()> dispose) : dispose_(std::move(dispose)) {}
  Disposable(Disposable&& other) noexcept : dispose_(std::exchange(other.dispose_, nullptr)) {}
  Disposable& operator=(Disposable&& other) noexcept;
  Disposable(const Disposable&) = delete;
  Disposable& operator=(const Disposable&) = delete;
  ~Disposable() = default;

  void dispose();
  bool isDisposed() const { return !dispose_; }

  /// Hands this subscription to `bag`, which disposes it when the bag goes.
  void disposed(class DisposeBag& bag);

 private:
  std::function<void()> dispose_;
};

/// Owns subscriptions and disposes all of them when it is destroyed (or emptied with a fresh bag).
class DisposeBag {
 public:
  DisposeBag() = default;
  ~DisposeBag() { dispose(); }
  DisposeBag(DisposeBag&& other) noexcept : items_(std::move(other.items_)) {}
  DisposeBag& operator=(DisposeBag&& other) noexcept;
  DisposeBag(const DisposeBag&) = delete;
  DisposeBag& operator=(const DisposeBag&) = delete;

  void insert(Disposable d) { items_.push_back(std::move(d)); }
  void dispose();
  std::size_t size() const { return items_.size(); }

 private:
  std::vector<Disposable> items_;
};

}  // namespace tilvane::rx
