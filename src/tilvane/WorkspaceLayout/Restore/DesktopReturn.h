#pragma once

#include <functional>
#include <memory>

#include "platform/dispatch/OperationQueue.h"

namespace tilvane {

/// The desktop the user is on now (0-based), as the window server says.
int shownDesktop();

/// Shows desktop `desktop` (0-based) again after a walk over the desktops, then calls `completion` once the
/// window server says it is shown (asked every 50 ms on the main loop's clock), or after 2 s whatever it says: a
/// desktop that cannot be reached must not hold the caller forever. Nothing to wait for when it is shown already.
void returnToDesktop(int desktop, std::function<void()> completion);
/// returnToDesktop as a queue step.
std::shared_ptr<dispatch::Operation> makeReturnToDesktopOperation(int desktop);

}  // namespace tilvane
