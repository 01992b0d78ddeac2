#pragma once

#include <functional>
#include <string>

#include "platform/defaults/UserDefaults.h"

namespace tilvane {

/// Says on the screen what the settings find after start: a file damaged while the program ran (found by a save or
/// when the program read the file again after a change), values of the wrong type. `show` is called on the main
/// loop, once for each damage and once for all the keys of the wrong type found in one turn (so one message does
/// not hide another).
void installSettingsNotices(defaults::UserDefaults& settings, std::function<void(const std::string&)> show);

/// The text said for the file's problem at start; empty when there is nothing new to say (no problem, or the same
/// damage was kept and said before and nothing saved the file since).
std::string settingsLoadText(const defaults::UserDefaults& settings);

}  // namespace tilvane
