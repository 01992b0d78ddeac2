#include "platform/desktop/x11/ObserverRegistry.h"

#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

ObserverRegistry::Key ObserverRegistry::keyOf(pid_t pid, std::string_view notification, const AXUIElement& element) {
  return {pid, std::string(notification), static_cast<int>(element.role), element.pid, element.id};
}

void ObserverRegistry::add(pid_t pid, std::string_view notification, const AXUIElement& element,
                           AXObserverHandler handler) {
  (*observers_)[keyOf(pid, notification, element)] = std::move(handler);
}

bool ObserverRegistry::remove(pid_t pid, std::string_view notification, const AXUIElement& element) {
  return observers_->erase(keyOf(pid, notification, element)) > 0;
}

void ObserverRegistry::removeProcess(pid_t pid) {
  std::erase_if(*observers_, [pid](const auto& entry) { return std::get<0>(entry.first) == pid; });
}

void ObserverRegistry::post(pid_t pid, std::string_view notification, const AXUIElement& observed,
                            const AXUIElement& notified) const {
  std::weak_ptr<Map> weak = observers_;
  dispatch::MainQueue::async([weak, key = keyOf(pid, notification, observed), notified] {
    auto observers = weak.lock();
    if (!observers) return;
    const auto it = observers->find(key);
    if (it == observers->end()) return;
    const AXObserverHandler handler = it->second;  // the handler may remove itself while it runs
    handler(notified);
  });
}

}  // namespace tilvane::x11
