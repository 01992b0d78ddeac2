#pragma once

#include <string>

namespace tilvane {

/// A new random (version 4) UUID in the 36-character upper-case form, e.g.
/// "1B4E28BA-2FA1-11D2-883F-0016D3CCA427".
std::string makeUuidString();

/// Whether `s` has that form (upper-case hex in groups 8-4-4-4-12).
bool isUuidString(const std::string& s);

}  // namespace tilvane
