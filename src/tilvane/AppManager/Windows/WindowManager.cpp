#include "AppManager/Windows/WindowManager.h"

#include <algorithm>
#include <map>
#include <string>

#include "AppManager/Applications/ApplicationManager.h"
#include "AppManager/Logging/LogManager.h"
#include "AppManager/Windows/LayoutableWindow.h"
#include "Layout/LayoutManager.h"
#include "platform/base/SharedInstance.h"
#include "platform/desktop/CGWindowList.h"
#include "platform/desktop/WindowBundleIdentifier.h"

namespace tilvane {
std::pair<pid_t, std::uint64_t> WindowManager::labelKey(const SIWindow& window) {
  return {window.axElement().pid, window.axElement().id};
}

std::string WindowManager::describeForLog(std::size_t count, const SIWindow& window) const {
  const auto kept = labels_.find(labelKey(window));
  const Label none;
  const Label& label = kept != labels_.end() ? kept->second : none;
  return std::to_string(count) + "), " + bundleIdentifierOfWindow(window).value_or(label.bundleIdentifier) + ", " +
         window.title().value_or(label.title);
}

WindowManager& WindowManager::shared() { return SharedInstance<WindowManager>::get(); }

WindowManager::WindowManager() : alive_(std::make_shared<bool>(true)) {}

WindowManager::~WindowManager() = default;

bool WindowManager::contains(const SIWindow& window) const {
  // Asked of every window the desktop reports: looked up, never searched for among thousands.
  const auto kept = labels_.find(labelKey(window));
  return kept != labels_.end() && kept->second.role == window.axElement().role;
}

void WindowManager::addWindow(const std::optional<SIWindow>& window) {
  if (!window || contains(*window)) return;
  // Asked once, for the test and the window's label: each is a round to the window's process.
  addWindow(window, bundleIdentifierOfWindow(*window));
}

void WindowManager::addWindow(const std::optional<SIWindow>& window, std::optional<std::string> bundle) {
  if (!window || contains(*window)) return;
  auto title = window->title();
  if (!isLayoutableWindow(*window, bundle, title)) return;
  const auto app = ApplicationManager::shared().findApplication(window->processIdentifier());
  if (!app) return;
  std::weak_ptr<bool> alive = alive_;
  app->observeNotification(kAXUIElementDestroyedNotification, window->axElement(),
                           [this, alive](const AXUIElement& element) {
                             if (alive.lock()) windowDestroyed(element);
                           });
  windows_.push_back(*window);
  Label& label = labels_[labelKey(*window)];
  label = Label{std::move(bundle).value_or(std::string()), std::move(title).value_or(std::string()),
                window->axElement().role};
  if (LogManager::writes(LogManager::level::debug))
    LogManager::debug("add window(" + describeForLog(windows_.size(), *window));
  LayoutManager::shared().addLayoutableWindow(*window, label.bundleIdentifier);
}

void WindowManager::removeWindow(const std::optional<SIWindow>& window) {
  if (!window) return;
  LayoutManager::shared().removeWindow(*window);
  const auto it = std::find(windows_.begin(), windows_.end(), *window);
  if (it != windows_.end()) {
    windows_.erase(it);
    if (LogManager::writes(LogManager::level::debug))
      LogManager::debug("remove window(" + describeForLog(windows_.size(), *window));
    labels_.erase(labelKey(*window));
  }
  if (const auto app = window->app()) app->unobserveNotification(kAXUIElementDestroyedNotification, window->axElement());
}

void WindowManager::removeWindows() {
  const std::vector<SIWindow> held = windows_;
  for (const SIWindow& window : held) {
    LayoutManager::shared().removeWindow(window);
    if (const auto app = window.app()) app->unobserveNotification(kAXUIElementDestroyedNotification, window.axElement());
  }
  windows_.clear();
  labels_.clear();
}

void WindowManager::loadWindows() {
  const auto list = CGWindowListCopyWindowInfo(kCGWindowListOptionOnScreenOnly, kCGNullWindowID);
  // Without the window server's list there is nothing sound to load.
  if (!list) return;
  std::map<pid_t, AXUIElement> owners;
  for (const CGWindowInfo& info : *list)
    if (info.ownerPID) owners[*info.ownerPID] = AXUIElementCreateApplication(*info.ownerPID);
  for (const auto& [pid, application] : owners) {
    AXValue value;
    if (AXUIElementCopyAttributeValue(application, kAXWindowsAttribute, value) != AXError::success) continue;
    const auto* elements = std::get_if<std::vector<AXUIElement>>(&value);
    if (!elements) continue;
    for (const AXUIElement& element : *elements) addWindow(SIWindow(element));
  }
}

void WindowManager::windowDestroyed(const AXUIElement& element) {
  const auto window = SIWindow::fromElement(element);
  if (!window) return;
  LogManager::debug("close:" + window->description());
  WindowManager::shared().removeWindow(window);
}

int WindowManager::indexOfWindow(const SIWindow& window) const {
  if (!window.app()) return 0;
  const auto bundle = bundleIdentifierOfWindow(window);
  const auto screen = window.screen();
  int position = 0;
  for (const SIWindow& candidate : windows_) {
    if (!candidate.app()) continue;
    if (bundleIdentifierOfWindow(candidate) != bundle) continue;
    if (candidate.screen() != screen) continue;
    if (candidate == window) return position;
    ++position;
  }
  return 0;
}

}  // namespace tilvane
