#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/Desktop.h"
#include "platform/desktop/x11/EventPump.h"
#include "platform/desktop/x11/WindowManagerCheck.h"
#include "platform/desktop/x11/X11Applications.h"
#include "platform/desktop/x11/PropertyCache.h"
#include "platform/desktop/x11/X11DisplayServer.h"
#include "platform/desktop/x11/X11EventTap.h"
#include "platform/desktop/x11/X11Launcher.h"
#include "platform/desktop/x11/X11ProgramServer.h"
#include "platform/rx/Disposable.h"
#include "platform/rx/PublishSubject.h"

namespace tilvane::x11 {

/// The desktop backend of a Linux X11 session with an EWMH window manager. It owns its X connection; the
/// connection's events are read by the installed main loop (which must exist when the backend is made) and
/// become the desktop notifications, each delivered on a later turn of the loop:
/// - activeSpaceDidChange when the window manager shows another desktop (_NET_CURRENT_DESKTOP);
/// - screenParametersDidChange when the displays change: RandR, a resized root window, or panels that move
///   the visible frames (struts, _NET_WORKAREA, another desktop shown) — only when the displays' frames or
///   identities really changed;
/// - compositingDidChange when a compositing manager starts or stops;
/// - application launches and quits, and the window notifications (see X11Applications).
/// When the X connection breaks, connectionLost() sends a message once; nothing works afterwards.
/// Main thread only.
class X11Desktop final : public Desktop {
 public:
  /// Connects to `display` (empty: $DISPLAY). Null, with the reason in `error`, when no X server answers.
  static std::unique_ptr<X11Desktop> connect(const std::string& display, std::string* error);
  /// The backend on a connection opened already (checked before the rest of the program starts).
  static std::unique_ptr<X11Desktop> adopt(std::unique_ptr<XConnection> connection);
  ~X11Desktop() override;
  X11Desktop(const X11Desktop&) = delete;
  X11Desktop& operator=(const X11Desktop&) = delete;

  DisplayServer& displayServer() override { return displayServer_; }
  EventTap& eventTap() override { return eventTap_; }
  DesktopNotificationCenter& notificationCenter() override { return center_; }
  ApplicationServer& applicationServer() override { return applications_; }
  Launcher& launcher() override { return launcher_; }
  ProgramServer& programServer() override { return program_; }
  /// Asks again each time: the window manager may have gone or been replaced since the start.
  bool canMoveWindows() override;
  std::string trustProblem() override;
  X11Applications& applications() { return applications_; }

  /// Whether windows can be read and moved here, and if not, why.
  WindowManagerStatus checkWindowManager() const { return x11::checkWindowManager(*x_); }
  /// The displays and desktops as the server has them now.
  ScreenLayout layout() const { return displayServer_.layout(); }
  DesktopState desktops() const { return displayServer_.desktops(); }
  /// Asks the window manager to show desktop `n` (0-based); false when there is no such desktop. The change
  /// is seen, as any other, through activeSpaceDidChange.
  bool switchToDesktop(std::uint32_t n);
  /// The desktop a window is on (kAllDesktops when on every one); absent when unknown or gone.
  std::optional<std::uint32_t> windowDesktop(CGWindowID window) const;

  /// Sends a message (what broke, which display) when the X connection is lost.
  rx::PublishSubject<std::string>& connectionLost() { return connectionLost_; }
  bool isConnected() const { return !lost_; }

  const XConnection& connection() const { return *x_; }
  /// What sees the connection's keyboard events (key presses and releases, keyboard mapping changes) before
  /// the backend does: the hot-key server sharing this connection. Null removes it.
  using KeyboardEventHandler = std::function<void(const xcb_generic_event_t&)>;
  void setKeyboardEventHandler(KeyboardEventHandler handler) { keyboardEvents_ = std::move(handler); }
  /// Handles the events that have arrived (the main loop's watcher does this by itself).
  void processEvents() { pump_->pump(); }

 private:
  explicit X11Desktop(std::unique_ptr<XConnection> x);
  void handle(const xcb_generic_event_t& event);
  void endOfBatch();
  void onConnectionLost();
  /// Shows the desktop the window is on, then gives it the focus (the window manager may not switch desktops
  /// for an activation by itself). For the launcher's bringing an application forward.
  bool showAndFocus(const AXUIElement& window);
  /// What screenParametersDidChange compares: the frames and UUIDs of the displays.
  std::vector<std::pair<std::string, NSScreen>> displaySignature() const;

  std::unique_ptr<XConnection> x_;
  /// Property values of the root and the clients, shared by the displays and the applications.
  PropertyCache properties_{*x_};
  X11DisplayServer displayServer_;
  X11EventTap eventTap_;
  DesktopNotificationCenter center_;
  X11Applications applications_;
  X11Launcher launcher_{applications_, [this](const AXUIElement& window) { return showAndFocus(window); }};
  X11ProgramServer program_{*x_};
  /// Tells the launcher of each window that appears.
  rx::DisposeBag windowsAppearing_;
  rx::PublishSubject<std::string> connectionLost_;
  KeyboardEventHandler keyboardEvents_;
  std::unique_ptr<EventPump> pump_;
  std::uint8_t randrEventBase_ = 0;
  bool displaysMayHaveChanged_ = false;
  bool desktopMayHaveChanged_ = false;
  std::optional<std::uint32_t> currentDesktop_;
  std::vector<std::pair<std::string, NSScreen>> displays_;
  bool lost_ = false;
};

}  // namespace tilvane::x11
