#include "platform/rx/Disposable.h"

namespace tilvane::rx {

Disposable& Disposable::operator=(Disposable&& other) noexcept {
  if (this != &other) {
    dispose();
    dispose_ = std::exchange(other.dispose_, nullptr);
  }
  return *this;
}

void Disposable::dispose() {
  if (auto fn = std::exchange(dispose_, nullptr)) fn();
}

void Disposable::disposed(DisposeBag& bag) { bag.insert(std::move(*this)); }

DisposeBag& DisposeBag::operator=(DisposeBag&& other) noexcept {
  if (this != &other) {
    dispose();
    items_ = std::move(other.items_);
  }
  return *this;
}

void DisposeBag::dispose() {
  // Disposing may run code that touches this bag; take the items out first.
  auto items = std::move(items_);
  items_.clear();
  for (auto& d : items) d.dispose();
}

}  // namespace tilvane::rx
