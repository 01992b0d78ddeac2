#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/desktop/x11/Properties.h"

namespace tilvane::x11 {

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

/// The installed applications' desktop entries, for naming a window's application. Entries earlier in the
/// search path win over later ones with the same id, as XDG says. Files are untrusted: each is read up to
/// 64 KiB, and the scan stops after 10,000 entries.
class DesktopEntryIndex {
 public:
  /// Scans the "applications" folder of each data folder, in order.
  static DesktopEntryIndex scan(const std::vector<std::filesystem::path>& dataDirs);
  /// The data folders of the XDG base directory specification: $XDG_DATA_HOME (default ~/.local/share), then
  /// $XDG_DATA_DIRS (default /usr/local/share:/usr/share).
  static std::vector<std::filesystem::path> xdgDataDirs();

  /// The entry of windows with this class: one whose StartupWMClass equals the class name (else the instance
  /// name), else one whose id equals the class or instance name ignoring case. Null when none does.
  const DesktopEntry* match(const WmClass& wmClass) const;

  const std::vector<DesktopEntry>& entries() const { return entries_; }

 private:
  std::vector<DesktopEntry> entries_;
};

/// Parses the text of a desktop entry file; absent when it has no [Desktop Entry] group or is not of type
/// Application. The id is left empty.
std::optional<DesktopEntry> parseDesktopEntry(const std::string& text);

}  // namespace tilvane::x11
