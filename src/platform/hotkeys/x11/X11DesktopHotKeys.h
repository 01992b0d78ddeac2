#pragma once

#include "platform/desktop/x11/X11Desktop.h"
#include "platform/hotkeys/x11/X11HotKeys.h"

namespace tilvane::x11 {

/// The global hot keys of an X11 desktop backend: an X11HotKeys server on the backend's own connection, fed
/// the connection's keyboard events by the backend. Install server() with HotKeyServer::Scope. The desktop
/// must outlive this object; going, it stops the feed and lets every grab go. Main thread only.
class X11DesktopHotKeys {
 public:
  explicit X11DesktopHotKeys(X11Desktop& desktop);
  ~X11DesktopHotKeys();
  X11DesktopHotKeys(const X11DesktopHotKeys&) = delete;
  X11DesktopHotKeys& operator=(const X11DesktopHotKeys&) = delete;

  X11HotKeys& server() { return server_; }

 private:
  X11Desktop& desktop_;
  X11HotKeys server_;
};

}  // namespace tilvane::x11
