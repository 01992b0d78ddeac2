#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane::apps {

/// What the program needs of one XDG desktop entry (a *.desktop file of an application).
struct DesktopEntry {
  /// The desktop-file id: the path below the applications folder with '/' turned into '-', less ".desktop"
  /// ("debian-xterm", "org.gnome.Terminal").
  std::string id;
  /// "Name" of the [Desktop Entry] group (unlocalised).
  std::string name;
  /// "StartupWMClass": the WM_CLASS its windows carry, when the entry says.
  std::string startupWmClass;
  bool operator==(const DesktopEntry&) const = default;
};

/// The installed applications' desktop entries (those of type Application), for naming a window's
/// application. Entries earlier in the search path win over later ones with the same id, as XDG says. Files are
/// untrusted: one larger than 64 KiB is skipped (see readDesktopEntryFile), and the scan stops after 10,000
/// entries.
class DesktopEntryIndex {
 public:
  /// Scans each "applications" folder, in order (xdgApplicationFolders() for the environment's).
  static DesktopEntryIndex scan(const std::vector<std::filesystem::path>& applicationFolders);

  /// The entry of windows whose WM_CLASS holds these names: one whose StartupWMClass equals the class name
  /// (else the instance name), else one whose id equals the class or instance name ignoring case. Null when
  /// none does. An empty name matches nothing.
  const DesktopEntry* match(std::string_view className, std::string_view instance) const;

  /// Every entry read, in scan order.
  const std::vector<DesktopEntry>& entries() const { return entries_; }

 private:
  std::vector<DesktopEntry> entries_;
};

}  // namespace tilvane::apps
