#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "platform/desktop/CGEvent.h"

namespace tilvane {

/// The name a Linux user reads for a virtual key code of the stored form: "A", "1", ",", "F5", "Left",
/// "Space", "Esc", "PgUp", "Num+5". Empty for a code no key has.
std::string keyName(std::uint64_t keyCode);

/// The virtual key code of a name keyName() gives (letters in either case); absent for any other text.
std::optional<CGKeyCode> virtualKeyForName(std::string_view name);

/// The modifier names of `flags`, in the order a Linux desktop writes them, each followed by "+":
/// "Ctrl+Alt+Shift+Super+". Command is the Super key, as the X11 hot keys take it.
std::string modifierNames(CGEventFlags flags);

}  // namespace tilvane
