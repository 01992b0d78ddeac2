#pragma once

#include <optional>
#include <string>

#include "platform/desktop/NSScreen.h"

namespace tilvane {

/// The UUID the window server gives for the display of `screen` (asked afresh, by the frame including dock and
/// menu bar); absent when no screen is given or the window server names none (an empty name counts as none).
std::optional<std::string> screenDisplayUuid(const std::optional<NSScreen>& screen);

}  // namespace tilvane
