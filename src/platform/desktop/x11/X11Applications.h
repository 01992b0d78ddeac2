#pragma once

#include <sys/types.h>

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/desktop/ApplicationServer.h"
#include "platform/desktop/DesktopNotificationCenter.h"
#include "platform/desktop/x11/ClientRectCache.h"
#include "platform/apps/DesktopEntryIndex.h"
#include "platform/desktop/x11/Ewmh.h"
#include "platform/desktop/x11/ObserverRegistry.h"
#include "platform/desktop/x11/PixelRect.h"
#include "platform/desktop/x11/ProcessExitWatch.h"
#include "platform/desktop/x11/PropertyCache.h"
#include "platform/desktop/x11/VisibleFrame.h"
#include "platform/desktop/x11/XConnection.h"

namespace tilvane::x11 {

/// The running applications and their windows on an X11 desktop with an EWMH window manager.
///
/// Windows are the clients of _NET_CLIENT_LIST; each belongs to the process that owns it (_NET_WM_PID, else the
/// X-Resource extension), and an application is a process with at least one client window (windows whose
/// process cannot be told belong to none). An application's bundle identifier is the desktop-entry id matching
/// its first window's WM_CLASS, else that class; the program's own process is NSBundle's identifier. An
/// application ends when its process does (a pidfd tells), or, where that cannot be watched, with its last
/// window.
///
/// Frames are the visible frames (see FrameMargins: the client plus _NET_FRAME_EXTENTS, less _GTK_FRAME_EXTENTS)
/// in the window space, followed when either property changes; setting a position or size asks the window
/// manager (_NET_MOVERESIZE_WINDOW, always with the whole geometry) so the visible frame lands where asked,
/// un-maximising a maximised window first. Notifications follow the X events of the root, the clients and their frames, checked
/// at the end of each batch of events: launches, new windows (AXWindowCreated), moves and resizes (compared
/// with the last frame seen), de-minimising, closed windows (AXUIElementDestroyed) and quits. Main thread only.
class X11Applications final : public ApplicationServer {
 public:
  /// `center` receives launches and quits; `primary` answers the primary display's monitor in root pixels,
  /// whose top-left corner is the window space's origin.
  /// `properties` keeps the values of the root's and the clients' properties; this object tells it of changes.
  X11Applications(const XConnection& x, PropertyCache& properties, DesktopNotificationCenter& center,
                  std::function<PixelRect()> primary);
  ~X11Applications() override;
  X11Applications(const X11Applications&) = delete;
  X11Applications& operator=(const X11Applications&) = delete;

  /// Reads the windows there are now, silently (no notifications).
  void start();
  /// Takes note of one X event (the desktop's event pump hands over every event).
  void handle(const xcb_generic_event_t& event);
  /// Turns what the batch's events changed into notifications.
  void endOfBatch();

  // ApplicationServer
  std::vector<NSRunningApplication> runningApplications() const override;
  std::optional<NSRunningApplication> runningApplication(pid_t pid) const override;
  AXError copyAttributeValue(const AXUIElement& element, std::string_view attribute, AXValue& value) const override;
  std::optional<CGRect> windowFrame(const AXUIElement& window) const override;
  bool isWindowMovable(const AXUIElement& window) const override;
  bool setWindowPosition(const AXUIElement& window, CGPoint position) override;
  bool setWindowSize(const AXUIElement& window, CGSize size) override;
  bool setWindowFrame(const AXUIElement& window, const CGRect& frame) override;
  void setReadsFromKnownState(bool on) override { knownStateReads_ += on ? 1 : -1; }
  bool focusWindow(const AXUIElement& window) override;
  std::optional<AXUIElement> focusedWindow() const override;
  bool moveWindowToSpace(const AXUIElement& window, int position) override;
  std::optional<int> windowSpace(const AXUIElement& window) const override;
  bool addObserver(const AXUIElement& application, std::string_view notification, const AXUIElement& element,
                   AXObserverHandler handler) override;
  bool removeObserver(const AXUIElement& application, std::string_view notification,
                      const AXUIElement& element) override;
  std::optional<std::vector<CGWindowInfo>> copyWindowInfo(CGWindowListOption option) const override;

  /// The element of a client window; absent when it is not a client or its process is unknown.
  std::optional<AXUIElement> elementOf(xcb_window_t window) const;

 private:
  struct Client {
    std::optional<pid_t> pid;
    /// The top-level window holding the client (the window manager's frame), or the client itself.
    xcb_window_t frame = XCB_WINDOW_NONE;
    std::optional<PixelRect> visible;
    bool minimized = false;
    /// _NET_WM_DESKTOP as last seen.
    std::optional<std::uint32_t> desktop;
  };
  struct Application {
    NSRunningApplication info;
    std::unique_ptr<ProcessExitWatch> exitWatch;
  };

  /// The client a window element names, if it is one of ours and belongs to that process.
  const Client* clientOf(const AXUIElement& window) const;
  /// Whether the window is ours, still there, and movable.
  bool canMove(const AXUIElement& window) const;
  /// Whether the window manager lets others move the window, from its kept properties.
  bool movable(xcb_window_t window) const;
  bool maximized(xcb_window_t window) const;
  bool minimized(xcb_window_t window) const;
  /// _NET_WM_DESKTOP, kept.
  std::optional<std::uint32_t> windowDesktop(xcb_window_t window) const;
  /// The window's decoration and shadow margins, kept.
  FrameMargins margins(xcb_window_t window) const;
  /// Whether a move may go out to the window: it is ours and movable, and not known to be gone this turn.
  /// When this turn has not seen the window yet, `check` asks whether it is still there; the caller sends its
  /// request with it and awaits the answer only then (confirmSent), so no round trip comes before the request.
  bool mayMove(const AXUIElement& window, std::optional<ClientRectRequest>& check);
  bool confirmSent(xcb_window_t window, std::optional<ClientRectRequest>& check);
  std::optional<std::uint32_t> currentDesktop() const;
  std::vector<xcb_window_t> readClientList() const;
  void syncClientList(bool notify);
  void track(xcb_window_t window, bool notify);
  void untrack(xcb_window_t window, bool notify);
  void findFrame(xcb_window_t window, Client& client);
  /// The visible frame as this turn knows it; freshVisibleFrame() reads the server again. While reads answer
  /// from the known state, the frame last seen in the events handled.
  std::optional<PixelRect> visibleFrame(xcb_window_t window) const;
  /// Whether the window is still there: asked of the server once a turn, or as the events handled tell while
  /// reads answer from the known state.
  bool present(xcb_window_t window) const;
  std::optional<PixelRect> freshVisibleFrame(xcb_window_t window);
  Application& applicationFor(pid_t pid, xcb_window_t firstWindow, bool notify);
  void applicationEnded(pid_t pid);
  void checkGeometry(xcb_window_t window);
  void checkState(xcb_window_t window);
  AXUIElement windowElement(xcb_window_t window, pid_t pid) const;
  /// Asks the window manager to un-maximise the window; false when it is not maximised.
  bool unmaximize(xcb_window_t window);
  void moveResize(xcb_window_t window, std::uint32_t flags, std::int64_t x, std::int64_t y, std::int64_t width,
                  std::int64_t height);
  /// Asks for the visible frame `frame`; answers the margins it was converted with.
  FrameMargins sendFrame(xcb_window_t window, const PixelRect& frame);
  /// Sends the outer size again to windows being un-maximised whose decoration changed since.
  void settleUnmaximized();
  static double settleDeadline();
  const apps::DesktopEntryIndex& desktopEntries() const;

  const XConnection& x_;
  DesktopNotificationCenter& center_;
  std::function<PixelRect()> primary_;
  std::string hostName_;
  pid_t ownPid_;
  bool hasMoveResize_ = false;
  int knownStateReads_ = 0;
  std::map<xcb_window_t, Client> clients_;
  std::vector<xcb_window_t> clientOrder_;           // _NET_CLIENT_LIST order (mapping order)
  std::map<xcb_window_t, xcb_window_t> frameToClient_;
  std::map<pid_t, Application> applications_;
  std::vector<pid_t> applicationOrder_;
  ObserverRegistry observers_;
  /// Properties of the root and the clients (the program listens to their changes), and this turn's client areas.
  PropertyCache& properties_;
  mutable ClientRectCache clientRects_;
  mutable std::optional<apps::DesktopEntryIndex> desktopEntries_;

  bool clientListDirty_ = false;
  std::set<xcb_window_t> geometryDirty_;
  std::set<xcb_window_t> stateDirty_;
  std::set<xcb_window_t> reparented_;
  /// Windows being un-maximised: the visible size asked for (width and height), the margins it was converted
  /// with, and until when (main-loop clock) their decoration may still change.
  struct Settling {
    std::optional<PixelRect> size;
    FrameMargins margins;
    double until = 0;
  };
  std::map<xcb_window_t, Settling> settling_;
  /// The visible frame last asked for, field by field, until the server answers it or a short while has passed:
  /// the window manager applies a move after the request returns, and what the program reads right after its
  /// own move (to keep the window on its display, to record its display) must be where it sent the window. A
  /// field is answered when the server shows it as asked; a size also when the server shows it changed from what
  /// it was when asked: the window manager had its say (some round a size to the client's steps, some do not),
  /// and from then on the real size is the truth, also for a move someone makes a moment later.
  /// The size is noted as expected (what reads answer) and as asked (what a later move carries: a window manager
  /// that does not round to the client's steps must not be asked for the rounded size).
  struct Requested {
    std::optional<std::int64_t> x, y, width, height;
    std::optional<std::int64_t> askedWidth, askedHeight;
    std::optional<PixelRect> from;
    double until = 0;
  };
  std::map<xcb_window_t, Requested> requested_;
  /// Note a request of a place, or of a size (as asked, and as the window manager is expected to show it); a
  /// field asked as it stands needs no note.
  void notePlaceRequested(xcb_window_t window, std::int64_t x, std::int64_t y);
  void noteSizeRequested(xcb_window_t window, std::int64_t width, std::int64_t height, const PixelRect& expected);
  /// The note of a new request of `window`, its other fields kept while it stands: the frame the server shows
  /// now (which the events handled may not have told yet), the time it stands.
  Requested& startRequestNote(xcb_window_t window);
  /// `known` with the size still on its way as it was asked: the size a move request carries.
  PixelRect carriedFrame(xcb_window_t window, PixelRect known) const;
  /// The visible frame with what is still on its way from the program's own requests laid over it.
  std::optional<PixelRect> expectedVisibleFrame(xcb_window_t window) const;
  /// The same over the frame last seen in the events handled (no round trip): what a request is made from.
  std::optional<PixelRect> knownVisibleFrame(xcb_window_t window) const;
  std::optional<PixelRect> withRequested(xcb_window_t window, std::optional<PixelRect> frame) const;
  /// The visible frame the window manager gives for a request of `visible` sent with margins `used`: the size
  /// as the client's size hints allow (a terminal's whole character cells).
  PixelRect expectedFrame(xcb_window_t window, const FrameMargins& used, PixelRect visible) const;
  std::shared_ptr<X11Applications*> self_;
};

}  // namespace tilvane::x11
