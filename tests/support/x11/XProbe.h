#pragma once

#include <xcb/xcb.h>

#include <array>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace tilvane::test::x11 {

/// A rectangle in root-window pixels (top-left origin).
struct XRectangle {
  std::int64_t x = 0;
  std::int64_t y = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;
  bool operator==(const XRectangle&) const = default;
};
std::ostream& operator<<(std::ostream& out, const XRectangle& r);

/// The tests' own view of the X server: a second connection, independent of the code under test, that reads
/// what really is on the screen and acts as the user or another program would (moving windows, switching
/// desktops, destroying windows). Plain xcb calls only, so it checks the backend instead of repeating it.
class XProbe {
 public:
  /// Connects to `display`; check ok().
  explicit XProbe(const std::string& display);
  ~XProbe();
  XProbe(const XProbe&) = delete;
  XProbe& operator=(const XProbe&) = delete;

  bool ok() const { return connection_ != nullptr; }
  xcb_connection_t* connection() const { return connection_; }
  xcb_window_t root() const { return root_; }
  xcb_atom_t atom(const std::string& name);

  /// Waits until the server processed every request sent so far.
  void sync();
  /// Waits (at most `seconds`) until the window manager handled every request it was sent so far, by anyone:
  /// it grants a configure request of a window of the probe's, after those before it.
  bool syncWindowManager(double seconds = 2.0);
  /// Whether a window manager is connected: the window named by the root's _NET_SUPPORTING_WM_CHECK is there
  /// and names itself.
  bool windowManagerConnected();

  /// A root property or window property as 32-bit values (empty when missing).
  std::vector<std::uint32_t> cardinals(xcb_window_t window, const std::string& property);
  /// A text property's bytes (empty when missing).
  std::string text(xcb_window_t window, const std::string& property);

  std::vector<xcb_window_t> clientList() { return cardinals(root_, "_NET_CLIENT_LIST"); }
  std::optional<xcb_window_t> activeWindow();
  int currentDesktop();
  /// The desktop a window is on (-1: all desktops or unknown).
  std::int64_t desktopOf(xcb_window_t window);

  /// A window's attributes (override-redirect, map state); absent when it is gone.
  std::optional<xcb_get_window_attributes_reply_t> attributes(xcb_window_t window);

  /// The client area of a window in root coordinates.
  std::optional<XRectangle> clientRect(xcb_window_t window);
  /// The visible frame in root coordinates: the client area plus the window manager's _NET_FRAME_EXTENTS, less
  /// the shadow margins a client drawing its own frame sets in _GTK_FRAME_EXTENTS.
  std::optional<XRectangle> frameRect(xcb_window_t window);
  /// Left, right, top and bottom of _NET_FRAME_EXTENTS or _GTK_FRAME_EXTENTS (zeros when missing).
  std::array<std::int64_t, 4> extents(xcb_window_t window, const std::string& property);

  /// Asks the window manager to move and resize a client as a program would (_NET_MOVERESIZE_WINDOW: x, y of
  /// the outer frame, width and height of the client).
  void moveResize(xcb_window_t window, const XRectangle& outerOriginClientSize);
  /// Asks the window manager to show desktop `n` (a pager's request).
  void switchDesktop(int n);
  /// Adds or removes window states (e.g. "_NET_WM_STATE_MAXIMIZED_VERT") as a pager would.
  void setState(xcb_window_t window, bool add, const std::string& first, const std::string& second = {});
  /// Destroys a window of another client, as if the client closed it.
  void destroy(xcb_window_t window);
  /// Closes the connection of the client that made `window` (all its windows go, and the program mostly ends).
  void disconnectClient(xcb_window_t window);
  /// Makes a window of the probe's own the owner of `selection`, as a program that manages it does (a compositing
  /// manager owns _NET_WM_CM_S0); returns that window. setSelectionOwner gives it to another window, or to none.
  xcb_window_t takeSelection(const std::string& selection);
  void setSelectionOwner(const std::string& selection, xcb_window_t owner);
  /// The window that owns `selection` now (XCB_WINDOW_NONE: none).
  xcb_window_t selectionOwner(const std::string& selection);
  /// Replaces a property of any window.
  void setProperty(xcb_window_t window, const std::string& property, xcb_atom_t type, std::uint8_t format,
                   const void* data, std::uint32_t items);
  /// The first key code that types `keysym` now (0 when none); the mapping is read afresh each time.
  xcb_keycode_t keycodeOf(std::uint32_t keysym);
  /// Grabs the key of `keysym` with any modifiers on the root, so its presses come to this connection.
  /// Returns the key code (0 when the keysym has no key).
  xcb_keycode_t grabKey(std::uint32_t keysym);
  /// The next key press that reached this connection (after a grab), without waiting; absent when none.
  std::optional<xcb_key_press_event_t> nextKeyPress();
  /// Where the pointer is, in root pixels.
  std::optional<std::pair<int, int>> pointer();
  /// Lets go, as the user would (XTEST), every key and pointer button the server holds down; returns them ("key
  /// 50", "button 3").
  std::vector<std::string> releaseHeldKeysAndButtons();
  /// Whether another client holds the pointer or the keyboard (an active grab): the probe asks for each and
  /// gives it back at once.
  bool pointerOrKeyboardHeld();

 private:
  void clientMessage(xcb_window_t window, const std::string& type, const std::uint32_t (&data)[5]);

  xcb_connection_t* connection_ = nullptr;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  // For syncWindowManager: a window made on first use, and the width last asked for it.
  xcb_window_t marker_ = XCB_WINDOW_NONE;
  std::uint32_t markerWidth_ = 1;
};

}  // namespace tilvane::test::x11
