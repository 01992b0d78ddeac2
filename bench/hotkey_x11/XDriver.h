#pragma once

#include <xcb/xcb.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>

namespace tilvane::bench {

/// A rectangle in root pixels: a window's outer frame.
struct Rect {
  int x = 0, y = 0, width = 0, height = 0;
  bool operator==(const Rect&) const = default;
};

/// The benchmark's own X client, already connected: it plays the user (keys through XTEST, activating a
/// window), sends a move itself (the floor every method is compared with), and watches the target's frame so
/// a move is timed to the moment its new frame reads back.
class XDriver {
 public:
  /// Connects to `display`; check ok().
  explicit XDriver(const std::string& display);
  ~XDriver();
  XDriver(const XDriver&) = delete;
  XDriver& operator=(const XDriver&) = delete;

  bool ok() const { return c_ != nullptr; }
  /// Whether the root carries the test desktop's token (the benchmark never runs on a user's desktop).
  bool isTestDesktop();

  /// The window manager's frame around `client` (the client itself when it has none); starts watching it.
  xcb_window_t watchFrame(xcb_window_t client);
  /// Left, right, top and bottom frame extents of `client`.
  std::array<std::uint32_t, 4> frameExtents(xcb_window_t client);
  /// The frame's geometry as the server has it now.
  std::optional<Rect> read(xcb_window_t frame);
  /// Waits (at most `timeout`) until the frame stands at `target`, confirmed by a read-back.
  bool waitForFrame(xcb_window_t frame, const Rect& target, std::chrono::milliseconds timeout);

  /// Asks the window manager to activate `client`, and whether it is the active window now.
  void activate(xcb_window_t client);
  std::optional<xcb_window_t> activeWindow();

  /// The first key code typing `keysym`; 0 when none.
  xcb_keycode_t keycodeOf(std::uint32_t keysym);
  /// Sends a key event through XTEST and flushes, without waiting.
  void key(xcb_keycode_t keycode, bool down);

  /// Sends the move itself (_NET_MOVERESIZE_WINDOW: the outer frame's corner, the client's size) and flushes.
  void moveResize(xcb_window_t client, const Rect& outer, const std::array<std::uint32_t, 4>& extents);

  /// Drops the events that have arrived.
  void discardEvents();

 private:
  xcb_atom_t atom(const char* name);
  std::optional<Rect> fromConfigure(const xcb_generic_event_t& event, xcb_window_t frame) const;

  xcb_connection_t* c_ = nullptr;
  xcb_window_t root_ = XCB_WINDOW_NONE;
  // Interned once, so no timed request waits for an atom.
  xcb_atom_t netActiveWindow_ = XCB_ATOM_NONE;
  xcb_atom_t netMoveResizeWindow_ = XCB_ATOM_NONE;
};

}  // namespace tilvane::bench
