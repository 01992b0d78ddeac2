#pragma once

#include "platform/desktop/NSRunningApplication.h"

namespace tilvane {

/// Whether the application manager leaves a running application untracked at start-up: one without a bundle
/// identifier, an agent, or one of a fixed list of system helpers (whole identifiers, case-sensitive).
/// Applications launched later are not judged by it.
bool isIgnoredApplication(const NSRunningApplication& application);

}  // namespace tilvane
