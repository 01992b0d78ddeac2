#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/apps/DesktopEntryFile.h"

namespace tilvane::apps {

/// The bundle identifier the X11 desktop gives the windows of the application whose desktop entry `entry` is at
/// `file`. In the applications folders: its desktop-file id. Elsewhere (a launcher the user keeps on the
/// desktop, say) the desktop never sees the entry and names its windows by their class, as it names any window:
/// the id of the installed entry that claims that class (DesktopEntryIndex::match), else the class itself. The
/// class is the entry's StartupWMClass; without one, the toolkits' own: the name of the program the entry runs
/// with its first letter in capitals (the instance: that name as it stands). An entry that says neither is
/// known by its file name.
/// `guessed`: the identifier is a class guessed from the program's name (no StartupWMClass, no installed entry
/// claiming it): right but, maybe, for case; the class of a running process of the program tells better.
struct EntryIdentity {
  std::string identifier;
  bool guessed = false;
};
EntryIdentity entryIdentity(const std::filesystem::path& file, const DesktopEntryFile& entry,
                            const std::vector<std::filesystem::path>& applicationFolders);

}  // namespace tilvane::apps
