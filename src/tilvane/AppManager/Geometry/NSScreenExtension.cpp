#include "AppManager/Geometry/NSScreenExtension.h"

#include "platform/desktop/EventPosting.h"

namespace tilvane {

std::optional<NSScreen> NSScreenExtension::primary() { return NSScreen::primary(); }

void NSScreenExtension::moveMouseToCenter(const NSScreen& screen) {
  const std::optional<NSScreen> pivot = primary();
  if (!pivot) return;
  // Mouse events take window-space points: flip the centre about the primary display's height.
  const CGPoint centre{screen.frame.midX(), pivot->frame.size.height - screen.frame.midY()};
  std::optional<CGEvent> event = CGEventCreateMouseEvent(CGEventType::mouseMoved, centre, CGMouseButton::left);
  if (!event) return;
  CGEventSetFlags(*event, 0);
  CGEventPost(CGEventTapLocation::hid, *event);
}

}  // namespace tilvane
