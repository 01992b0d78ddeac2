#include "platform/desktop/x11/Atoms.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <utility>

namespace tilvane::x11 {

Atoms Atoms::intern(xcb_connection_t* c) {
  Atoms a;
#define TILVANE_ATOM(name) std::pair<const char*, xcb_atom_t*>{#name, &a.name}
  const std::array entries{
      TILVANE_ATOM(UTF8_STRING),
      TILVANE_ATOM(COMPOUND_TEXT),
      TILVANE_ATOM(WM_STATE),
      TILVANE_ATOM(WM_CHANGE_STATE),
      TILVANE_ATOM(EDID),
      TILVANE_ATOM(_NET_SUPPORTED),
      TILVANE_ATOM(_NET_SUPPORTING_WM_CHECK),
      TILVANE_ATOM(_NET_CLIENT_LIST),
      TILVANE_ATOM(_NET_CLIENT_LIST_STACKING),
      TILVANE_ATOM(_NET_NUMBER_OF_DESKTOPS),
      TILVANE_ATOM(_NET_CURRENT_DESKTOP),
      TILVANE_ATOM(_NET_ACTIVE_WINDOW),
      TILVANE_ATOM(_NET_WORKAREA),
      TILVANE_ATOM(_NET_WM_NAME),
      TILVANE_ATOM(_NET_WM_PID),
      TILVANE_ATOM(_NET_WM_DESKTOP),
      TILVANE_ATOM(_NET_WM_STATE),
      TILVANE_ATOM(_NET_WM_STATE_HIDDEN),
      TILVANE_ATOM(_NET_WM_STATE_MAXIMIZED_VERT),
      TILVANE_ATOM(_NET_WM_STATE_MAXIMIZED_HORZ),
      TILVANE_ATOM(_NET_WM_STATE_FULLSCREEN),
      TILVANE_ATOM(_NET_WM_STATE_SKIP_TASKBAR),
      TILVANE_ATOM(_NET_WM_ALLOWED_ACTIONS),
      TILVANE_ATOM(_NET_WM_ACTION_MOVE),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_NORMAL),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_DIALOG),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_UTILITY),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_TOOLBAR),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_MENU),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_SPLASH),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_DOCK),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_DESKTOP),
      TILVANE_ATOM(_NET_WM_WINDOW_TYPE_NOTIFICATION),
      TILVANE_ATOM(_NET_WM_STRUT),
      TILVANE_ATOM(_NET_WM_STRUT_PARTIAL),
      TILVANE_ATOM(_NET_FRAME_EXTENTS),
      TILVANE_ATOM(_NET_MOVERESIZE_WINDOW),
      TILVANE_ATOM(_NET_REQUEST_FRAME_EXTENTS),
      TILVANE_ATOM(_GTK_FRAME_EXTENTS),
  };
#undef TILVANE_ATOM
  std::array<xcb_intern_atom_cookie_t, entries.size()> cookies{};
  for (std::size_t i = 0; i < entries.size(); ++i)
    cookies[i] = xcb_intern_atom(c, 0, static_cast<std::uint16_t>(std::strlen(entries[i].first)), entries[i].first);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(c, cookies[i], nullptr);
    if (reply) *entries[i].second = reply->atom;
    std::free(reply);
  }
  return a;
}

}  // namespace tilvane::x11
