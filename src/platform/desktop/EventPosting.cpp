#include "platform/desktop/EventPosting.h"

#include "platform/desktop/Desktop.h"

namespace tilvane {
namespace {
std::optional<CGEvent> create(const CGEvent& proposed) {
  Desktop* desktop = Desktop::current();
  return desktop ? desktop->eventTap().createEvent(proposed) : std::nullopt;
}
}  // namespace

std::optional<CGEvent> CGEventCreateKeyboardEvent(CGKeyCode key, bool keyDown) {
  CGEvent proposed;
  proposed.type = keyDown ? CGEventType::keyDown : CGEventType::keyUp;
  proposed.keyCode = key;
  return create(proposed);
}

std::optional<CGEvent> CGEventCreateMouseEvent(CGEventType type, CGPoint location, CGMouseButton button) {
  CGEvent proposed;
  proposed.type = type;
  proposed.location = location;
  proposed.button = button;
  return create(proposed);
}

void CGEventSetFlags(CGEvent& event, CGEventFlags flags) { event.flags = flags; }

void CGEventPost(CGEventTapLocation tap, const CGEvent& event) {
  if (Desktop* desktop = Desktop::current()) desktop->eventTap().post(tap, event);
}

}  // namespace tilvane
