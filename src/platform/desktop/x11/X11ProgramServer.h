#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/ProgramServer.h"
#include "platform/desktop/x11/CompositorWatch.h"
#include "platform/desktop/x11/XConnection.h"
#include "platform/dispatch/MainQueue.h"

namespace tilvane::x11 {

/// What bringing one of the program's own windows to the user takes, given what the window manager says of it.
struct FrontRequests {
  /// The window manager does not manage it yet (it is being mapped): wait until it does.
  bool notManagedYet = false;
  /// It is minimised: map it, which asks the window manager to show it again.
  bool map = false;
  /// Move it to this desktop (the one shown) first.
  std::optional<std::uint32_t> moveToDesktop;
  /// Both of the above, under a window manager that must not be asked for either (see remapsMinimisedElsewhere):
  /// the window is withdrawn, then mapped anew on `moveToDesktop`, so the window manager takes it on afresh.
  bool remap = false;
  /// The window manager shows it here: only the focus and the stacking order are left to ask for.
  bool shown() const { return !notManagedYet && !map && !moveToDesktop; }
};
/// From the window's WM_STATE (absent: withdrawn or not managed yet), whether it is minimised (see
/// minimizedFrom), its _NET_WM_DESKTOP, the desktop shown and whether the window manager is one that
/// remapsMinimisedElsewhere.
FrontRequests frontRequestsFor(std::optional<std::uint32_t> wmState, bool minimised,
                               std::optional<std::uint32_t> windowDesktop,
                               std::optional<std::uint32_t> currentDesktop, bool remapMinimisedElsewhere = false);

/// Whether a window manager, by its _NET_WM_NAME, keeps a window minimised on another desktop in a state that
/// neither a desktop move nor a map may touch: fluxbox 1.3 asked to unminimise a window there can never
/// unminimise it again, and asked to move it to the desktop shown keeps a stale entry that crashes it once the
/// window is gone. Withdrawing the window and mapping it anew is safe.
bool remapsMinimisedElsewhere(const std::string& windowManager);

/// The program server of an X11 session: the toolkit's show, raise and activate do not reach a window that is
/// minimised or on another desktop, so bringing a window to the user goes through the window manager's EWMH
/// requests. The key window is the one last brought forward that is still shown (minimised or on another desktop
/// counts as shown; closed does not): activating the program brings it back, so a small window that came and
/// went meanwhile (the chooser) leaves the key to the window before it. Main thread only.
///
/// A window comes forward in order, on this connection alone: moved to the desktop shown and mapped where it
/// is minimised (or withdrawn and mapped anew, see FrontRequests::remap); then, once the window manager shows it
/// here, activated and raised. A window manager asked to activate a window it does not show yet may refuse and
/// flag it as demanding attention instead, so the activation goes out only while the window is shown here: one
/// the window manager has not shown when the wait is over, or that the user has sent away since, gets nothing
/// more. While a window is on its way (asked to be shown here, or activated and shown but not active yet; for a
/// bounded time: the wait is a timer, armed only then), another request to bring it forward sends nothing, so a
/// window shown and the program activated right after come forward once.
class X11ProgramServer final : public ProgramServer {
 public:
  explicit X11ProgramServer(const XConnection& x) : x_(x), compositor_(x) {}

  void activateIgnoringOtherApps(bool flag) override;
  void orderFront(std::uint64_t windowNumber) override;
  void setWindowLevel(std::uint64_t, CGWindowLevel) override {}
  bool isCompositing() const override { return compositor_.active(); }

  /// The root's _NET_CLIENT_LIST changed: a window waiting to be managed, or withdrawn, may be now.
  void clientListChanged();
  /// Takes an event of the connection; true when a compositing manager started or stopped.
  bool handle(const xcb_generic_event_t& event);

  /// How long the window manager has to withdraw a window, and to show it here, before the request is given up
  /// (long enough for a busy machine's window manager: nothing is activated after it); and to make it the active
  /// window before another request may go out.
  static constexpr double kShowWait = 5.0;
  static constexpr double kActivationWait = 2.0;

 private:
  /// Sends what frontRequestsFor asks; false when the window is not managed (yet). `newlyManaged`: the window
  /// waited to be managed, and is only activated where it stands.
  bool bringForward(xcb_window_t window, bool newlyManaged = false);
  /// What the window manager says of the window now; how it is to be brought is asked only when it goes out
  /// (`remapMinimisedElsewhere`), the rest of the way only whether it is shown.
  FrontRequests requestsFor(xcb_window_t window, bool remapMinimisedElsewhere = false) const;
  /// Asks the window manager to activate and raise the window.
  void activate(xcb_window_t window);
  /// Asks the window manager to let go of the window (ICCCM withdrawal); it is mapped anew on `desktop` once
  /// the window manager has.
  void withdraw(xcb_window_t window, std::uint32_t desktop);
  /// Whether the window manager has let go of the window: WM_STATE withdrawn or gone, or (as fluxbox leaves its
  /// WM_STATE) no longer in the client list.
  bool withdrawn(xcb_window_t window) const;
  /// Maps a withdrawn window on `desktop`, as a new window for the window manager.
  void mapAnew(xcb_window_t window, std::uint32_t desktop);
  /// The window on its way forward is withdrawn, shown here or active now: the next step.
  void advance();
  /// The wait is over: what the window manager did by then decides the last step.
  void waitEnded();
  /// Whether the window on its way forward still is: false (and forgotten) once it is active, or no longer
  /// shown here after its activation went out.
  bool stillOnItsWay();
  void endFronting();
  /// Makes sure this connection hears of the window's property changes and destruction.
  void listenTo(xcb_window_t window);

  const XConnection& x_;
  CompositorWatch compositor_;
  /// The windows brought forward, the latest first, each once.
  std::vector<xcb_window_t> fronted_;
  /// A window ordered front before the window manager took it on.
  std::optional<xcb_window_t> waiting_;
  /// The window on its way forward and what it waits for: to be withdrawn (then mapped anew on `desktop`), to be
  /// shown here (`remapped`: mapped anew, so not managed yet means on its way, not closed), or to become the
  /// active window.
  enum class Step { withdrawing, showing, activating };
  struct Fronting {
    xcb_window_t window;
    Step step;
    std::uint32_t desktop = 0;
    bool remapped = false;
  };
  std::optional<Fronting> fronting_;
  dispatch::ScopedTimer deadline_;
};

}  // namespace tilvane::x11
