#pragma once

#include <string>

namespace tilvane {

/// Replaces this process with a fresh start of its own program file, with no arguments; the process id stays.
/// Every open file is closed on the way, so locks and sockets pass to nobody. Returns only when the start
/// failed, with the reason.
std::string relaunchSelf();

}  // namespace tilvane
