#include "platform/desktop/SIApplication.h"

#include "platform/desktop/Desktop.h"
#include "platform/desktop/SIWindow.h"

namespace tilvane {

SIApplication::SIApplication(pid_t pid) : element_(AXUIElementCreateApplication(pid)) {}

SIApplication SIApplication::applicationWithRunningApplication(const NSRunningApplication& application) {
  return SIApplication(application.processIdentifier);
}

bool SIApplication::observeNotification(std::string_view notification, const AXUIElement& element,
                                        AXObserverHandler handler) const {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->applicationServer().addObserver(element_, notification, element, std::move(handler));
}

bool SIApplication::unobserveNotification(std::string_view notification, const AXUIElement& element) const {
  Desktop* desktop = Desktop::current();
  return desktop && desktop->applicationServer().removeObserver(element_, notification, element);
}

std::vector<SIWindow> SIApplication::windows() const {
  std::vector<SIWindow> result;
  AXValue value;
  if (AXUIElementCopyAttributeValue(element_, kAXWindowsAttribute, value) != AXError::success) return result;
  if (const auto* elements = std::get_if<std::vector<AXUIElement>>(&value)) {
    for (const AXUIElement& element : *elements)
      if (auto window = SIWindow::fromElement(element)) result.push_back(*window);
  }
  return result;
}

std::vector<SIWindow> SIApplication::visibleWindows() const {
  std::vector<SIWindow> result;
  for (const SIWindow& window : windows()) {
    AXValue minimized;
    const bool isMinimized = AXUIElementCopyAttributeValue(window.axElement(), kAXMinimizedAttribute, minimized) ==
                                 AXError::success &&
                             std::holds_alternative<bool>(minimized) && std::get<bool>(minimized);
    if (!isMinimized) result.push_back(window);
  }
  return result;
}

}  // namespace tilvane
