#pragma once

#include <sys/types.h>

#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <tuple>

#include "platform/desktop/ApplicationServer.h"

namespace tilvane::x11 {

/// The Accessibility-style observers of the applications' notifications: (process, notification, observed
/// element) to handler, one handler per triple. Deliveries go through the main loop and look the handler up
/// when they run, so an observer removed meanwhile is not called. Main thread only.
class ObserverRegistry {
 public:
  ObserverRegistry() : observers_(std::make_shared<Map>()) {}

  /// Registers (or replaces) the handler of the triple.
  void add(pid_t pid, std::string_view notification, const AXUIElement& element, AXObserverHandler handler);
  /// False when there was none.
  bool remove(pid_t pid, std::string_view notification, const AXUIElement& element);
  /// Drops every observer of a process (it ended).
  void removeProcess(pid_t pid);
  /// Delivers `notified` on a later turn to the observer of the triple, if there is one by then.
  void post(pid_t pid, std::string_view notification, const AXUIElement& observed, const AXUIElement& notified) const;
  std::size_t size() const { return observers_->size(); }

 private:
  using Key = std::tuple<pid_t, std::string, int, pid_t, std::uint64_t>;
  using Map = std::map<Key, AXObserverHandler>;
  static Key keyOf(pid_t pid, std::string_view notification, const AXUIElement& element);
  std::shared_ptr<Map> observers_;
};

}  // namespace tilvane::x11
