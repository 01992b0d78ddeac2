#pragma once

#include <string>

namespace tilvane::apps {

/// An installed application as a catalogue source describes it.
struct InstalledApplication {
  /// The name shown to the user.
  std::string name;
  /// The bundle identifier (on X11 the desktop-entry id); may be empty.
  std::string bundleIdentifier;
  /// The icon: the absolute path of an icon file, or an icon name of the desktop's icon theme.
  std::string icon;
  /// The bundle identifier is a class guessed from the program the entry runs (EntryIdentity::guessed).
  bool identifierGuessed = false;
  bool operator==(const InstalledApplication&) const = default;
};

}  // namespace tilvane::apps
