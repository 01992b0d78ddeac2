#include "platform/hotkeys/x11/X11DesktopHotKeys.h"

namespace tilvane::x11 {

X11DesktopHotKeys::X11DesktopHotKeys(X11Desktop& desktop) : desktop_(desktop), server_(desktop.connection()) {
  desktop_.setKeyboardEventHandler([this](const xcb_generic_event_t& event) { server_.handle(event); });
}

X11DesktopHotKeys::~X11DesktopHotKeys() { desktop_.setKeyboardEventHandler(nullptr); }

}  // namespace tilvane::x11
