#pragma once

#include <optional>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

// Making and posting synthetic events through the installed desktop (Desktop::current()). Without a desktop no
// event can be made. Main thread only.

/// A key-down (`keyDown` true) or key-up event for `key`, with no flags; absent when it cannot be made.
std::optional<CGEvent> CGEventCreateKeyboardEvent(CGKeyCode key, bool keyDown);

/// A mouse event of `type` at `location` (window space) for `button`; absent when it cannot be made.
std::optional<CGEvent> CGEventCreateMouseEvent(CGEventType type, CGPoint location, CGMouseButton button);

/// Replaces the event's modifier flags.
void CGEventSetFlags(CGEvent& event, CGEventFlags flags);

/// Posts the event at `tap`. Returns at once; whatever the event causes happens later.
void CGEventPost(CGEventTapLocation tap, const CGEvent& event);

}  // namespace tilvane
