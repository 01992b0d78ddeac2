#pragma once

#include <memory>

#include "Shell/DesktopChoice.h"
#include "platform/desktop/Desktop.h"
#include "platform/hotkeys/HotKeyServer.h"

namespace tilvane {

namespace x11 {
class X11Desktop;
class X11DesktopHotKeys;
}  // namespace x11
namespace sim {
class SimHotKeys;
}  // namespace sim

/// The backends of a desktop choice: the desktop and the global hot keys on it. Made once the main loop is
/// installed (the X11 backend watches its connection on it) and gone before the loop; the hot keys go before
/// the desktop whose connection they use.
class DesktopBackends {
 public:
  /// The X11 backend on the choice's connection, or the simulated desktop (one 1440 x 900 display less a
  /// 23-point bar at its top, four shared desktops). The choice must have no problem.
  explicit DesktopBackends(DesktopChoice choice);
  ~DesktopBackends();
  DesktopBackends(const DesktopBackends&) = delete;
  DesktopBackends& operator=(const DesktopBackends&) = delete;

  Desktop& desktop() { return *desktop_; }
  HotKeyServer& hotKeys() { return *hotKeys_; }
  /// The X11 backend (for its connection-lost signal); null on the simulated desktop.
  x11::X11Desktop* x11() const { return x11_; }

 private:
  std::unique_ptr<Desktop> desktop_;
  x11::X11Desktop* x11_ = nullptr;
  std::unique_ptr<x11::X11DesktopHotKeys> x11HotKeys_;
  std::unique_ptr<sim::SimHotKeys> simHotKeys_;
  HotKeyServer* hotKeys_ = nullptr;
};

}  // namespace tilvane
