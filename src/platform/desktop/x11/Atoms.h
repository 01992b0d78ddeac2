#pragma once

#include <xcb/xcb.h>

namespace tilvane::x11 {

/// The atoms the backend uses, interned once per connection (all requests in one round trip). An atom the
/// server could not intern is XCB_ATOM_NONE, which matches no property.
struct Atoms {
  xcb_atom_t UTF8_STRING = XCB_ATOM_NONE;
  xcb_atom_t COMPOUND_TEXT = XCB_ATOM_NONE;
  xcb_atom_t WM_STATE = XCB_ATOM_NONE;
  xcb_atom_t WM_CHANGE_STATE = XCB_ATOM_NONE;
  xcb_atom_t EDID = XCB_ATOM_NONE;
  xcb_atom_t _NET_SUPPORTED = XCB_ATOM_NONE;
  xcb_atom_t _NET_SUPPORTING_WM_CHECK = XCB_ATOM_NONE;
  xcb_atom_t _NET_CLIENT_LIST = XCB_ATOM_NONE;
  xcb_atom_t _NET_CLIENT_LIST_STACKING = XCB_ATOM_NONE;
  xcb_atom_t _NET_NUMBER_OF_DESKTOPS = XCB_ATOM_NONE;
  xcb_atom_t _NET_CURRENT_DESKTOP = XCB_ATOM_NONE;
  xcb_atom_t _NET_ACTIVE_WINDOW = XCB_ATOM_NONE;
  xcb_atom_t _NET_WORKAREA = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_NAME = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_PID = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_DESKTOP = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE_HIDDEN = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE_MAXIMIZED_VERT = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE_MAXIMIZED_HORZ = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE_FULLSCREEN = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STATE_SKIP_TASKBAR = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_ALLOWED_ACTIONS = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_ACTION_MOVE = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_NORMAL = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_DIALOG = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_UTILITY = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_TOOLBAR = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_MENU = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_SPLASH = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_DOCK = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_DESKTOP = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_WINDOW_TYPE_NOTIFICATION = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STRUT = XCB_ATOM_NONE;
  xcb_atom_t _NET_WM_STRUT_PARTIAL = XCB_ATOM_NONE;
  xcb_atom_t _NET_FRAME_EXTENTS = XCB_ATOM_NONE;
  xcb_atom_t _NET_MOVERESIZE_WINDOW = XCB_ATOM_NONE;
  xcb_atom_t _NET_REQUEST_FRAME_EXTENTS = XCB_ATOM_NONE;
  xcb_atom_t _GTK_FRAME_EXTENTS = XCB_ATOM_NONE;

  /// Interns every atom on `c` (pipelined: one round trip).
  static Atoms intern(xcb_connection_t* c);
};

}  // namespace tilvane::x11
