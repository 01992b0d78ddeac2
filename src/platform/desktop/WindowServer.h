#pragma once

#include <optional>
#include <string>

#include "platform/desktop/Geometry.h"
#include "platform/desktop/ManagedDisplaySpaces.h"

namespace tilvane {

// The window-server queries for displays and desktops, answered by the installed desktop (Desktop::current()).
// The connection of the original calls is implicit: it is the installed desktop. Main thread only.

/// The displays with their desktops and current desktop; absent when the window server answers nothing (or
/// not a list of dictionaries), and when no desktop is installed.
std::optional<ManagedDisplaySpaces> CGSCopyManagedDisplaySpaces();

/// The UUID of the display that holds most of `rect` (display space, bottom-left origin); absent when no
/// display holds it or the window server names none for it.
std::optional<std::string> CGSCopyBestManagedDisplayForRect(const CGRect& rect);

/// The "Current Space" UUID that CGSCopyManagedDisplaySpaces lists for the display named `displayIdentifier`
/// (for the first listed display when absent), without making the whole listing; absent where it lists none.
std::optional<std::string> CGSManagedDisplayGetCurrentSpace(const std::optional<std::string>& displayIdentifier);

}  // namespace tilvane
