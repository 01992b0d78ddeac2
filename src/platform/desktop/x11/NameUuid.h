#pragma once

#include <string>
#include <string_view>

namespace tilvane::x11 {

/// A name-based (version 5, SHA-1) UUID of `name` in Tilvane's own namespace, in the 36-character upper-case
/// form of makeUuidString. The same name gives the same UUID in every run and on every machine, which is what
/// stored display and desktop identifiers need when the system has no identifiers of its own.
std::string nameUuid(std::string_view name);

/// The UUID of the display known by `identityKey` (see Monitor::identityKey).
std::string displayUuid(std::string_view identityKey);

/// The UUID of EWMH desktop number `n` (0-based). Desktops have no identity beyond their number.
std::string desktopUuid(unsigned n);

}  // namespace tilvane::x11
