#include "platform/desktop/x11/CompositorWatch.h"

#include <xcb/xfixes.h>

#include <string>

namespace tilvane::x11 {

CompositorWatch::CompositorWatch(const XConnection& x) : x_(x) {
  const std::string name = "_NET_WM_CM_S" + std::to_string(x.screenNumber());
  xcb_connection_t* c = x.get();
  if (auto atom = x.reply(xcb_intern_atom_reply,
                          xcb_intern_atom(c, 0, static_cast<std::uint16_t>(name.size()), name.c_str())))
    selection_ = atom->atom;
  if (selection_ == XCB_ATOM_NONE) return;
  // Asked for before the owner is read, so no change falls between the two.
  if (x.xfixesFirstEvent() != 0)
    xcb_xfixes_select_selection_input(c, x.root(), selection_,
                                      XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY |
                                          XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
  if (auto owner = x.reply(xcb_get_selection_owner_reply, xcb_get_selection_owner(c, selection_)))
    active_ = owner->owner != XCB_WINDOW_NONE;
}

bool CompositorWatch::handle(const xcb_generic_event_t& event) {
  const std::uint8_t first = x_.xfixesFirstEvent();
  if (first == 0 || (event.response_type & 0x7f) != first + XCB_XFIXES_SELECTION_NOTIFY) return false;
  const auto& notify = reinterpret_cast<const xcb_xfixes_selection_notify_event_t&>(event);
  if (notify.selection != selection_) return false;
  const bool active = notify.owner != XCB_WINDOW_NONE;
  if (active == active_) return false;
  active_ = active;
  return true;
}

}  // namespace tilvane::x11
