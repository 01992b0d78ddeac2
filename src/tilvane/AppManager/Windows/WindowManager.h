#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/SIWindow.h"
#include "platform/rx/Disposable.h"

namespace tilvane {

/// The registry of managed windows: every window that may be laid out and belongs to a tracked application,
/// each held once, in order of admission. It is the gate between the desktop and the layout engine: a window
/// enters only through addWindow, which hands it to the layout manager, and leaves through removeWindow or
/// removeWindows, which tell the layout manager. While a window is held its destruction is observed.
/// Main thread only.
class WindowManager {
 public:
  /// The one instance, made on first use (it loads nothing).
  static WindowManager& shared();

  WindowManager();
  ~WindowManager();
  WindowManager(const WindowManager&) = delete;
  WindowManager& operator=(const WindowManager&) = delete;

  /// The managed windows, in order of admission.
  const std::vector<SIWindow>& windows() const { return windows_; }
  rx::DisposeBag& disposeBag() { return disposeBag_; }

  /// Whether the window is held.
  bool contains(const SIWindow& window) const;

  /// Admits a window that may be laid out, is not held yet and belongs to a tracked application: observes its
  /// destruction, holds it, logs "add window(<count>), <bundle identifier>, <title>" and hands it to the layout
  /// manager. Anything else is dropped silently.
  void addWindow(const std::optional<SIWindow>& window);
  /// The same, for a window of an application whose bundle identifier the caller asked already (windows
  /// admitted together ask it once).
  void addWindow(const std::optional<SIWindow>& window, std::optional<std::string> bundleIdentifier);

  /// Tells the layout manager the window is gone (held or not), lets go of it with "remove window(<count>), ..."
  /// when held, and stops observing its destruction.
  void removeWindow(const std::optional<SIWindow>& window);

  /// Drops every window at once: tells the layout manager of each and stops observing them. No log line.
  void removeWindows();

  /// Admits the windows on screen now: for each process that owns an on-screen window, its "AXWindows" (a
  /// process whose read fails is skipped). Windows already held stay.
  void loadWindows();

  /// The destruction handler: logs "close:" and the window's description, then removes it.
  void windowDestroyed(const AXUIElement& element);

  /// The window's position among the held windows of its application on its display, in order of admission;
  /// 0 when it is not held or has no application.
  int indexOfWindow(const SIWindow& window) const;

 private:
  rx::DisposeBag disposeBag_;
  std::vector<SIWindow> windows_;
  /// What each held window was called when admitted (also the index that tells whether a window is held): a closed window (whose application may have ended with
  /// it) can no longer be asked, and its log line still names it.
  struct Label {
    std::string bundleIdentifier;
    std::string title;
    AXUIElement::Role role = AXUIElement::Role::window;
  };
  std::map<std::pair<pid_t, std::uint64_t>, Label> labels_;
  static std::pair<pid_t, std::uint64_t> labelKey(const SIWindow& window);
  /// "<count>), <bundle identifier>, <title>", each read now, else as the window was called when admitted.
  std::string describeForLog(std::size_t count, const SIWindow& window) const;
  // Handlers registered with the desktop check it, so none reaches a manager that is gone.
  std::shared_ptr<bool> alive_;
};

}  // namespace tilvane
