#include "platform/desktop/x11/WindowProperties.h"
#include "platform/desktop/x11/X11Desktop.h"

namespace tilvane::x11 {

bool X11Desktop::showAndFocus(const AXUIElement& window) {
  if (!window.isWindow()) return false;
  const auto desktop = windowDesktop(static_cast<CGWindowID>(window.id));
  if (desktop && *desktop != kAllDesktops && desktop != desktops().current) switchToDesktop(*desktop);
  return applications_.focusWindow(window);
}

}  // namespace tilvane::x11
