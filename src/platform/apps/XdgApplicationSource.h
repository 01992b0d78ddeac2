#pragma once

#include <filesystem>
#include <vector>

#include "platform/apps/ApplicationSource.h"
#include "platform/apps/DesktopEntryFile.h"

namespace tilvane::apps {

/// The applications of the XDG desktop entries: the "*.desktop" files below the "applications" folder of each
/// data folder (sub-folders included), an id found in an earlier data folder hiding the same id in later ones.
/// An entry is an application when its Type is "Application"; "Hidden=true" counts as deleted and
/// "NoDisplay=true" marks an agent, both left out. The bundle identifier is the id the desktop gives the
/// entry's windows (entryIdentity), "Name" the name and "Icon" the icon (a path or an icon-theme
/// name). Paths that are not desktop entries are read as application bundles, so an application added by hand
/// may be either.
class XdgApplicationSource final : public ApplicationSource {
 public:
  /// Over the XDG data folders of the environment, read now: $XDG_DATA_HOME, then $XDG_DATA_DIRS.
  XdgApplicationSource();
  /// Over the given data folders, in order of precedence.
  explicit XdgApplicationSource(std::vector<std::filesystem::path> dataDirs);

  /// The "applications" folders searched, in order.
  const std::vector<std::filesystem::path>& applicationFolders() const { return folders_; }

  /// The desktop entries of the applications, in id order.
  std::vector<std::string> applicationPaths() const override;
  /// A desktop entry: (Name, else the id; entryIdentity; Icon). A bundle: readBundle. Absent when
  /// unreadable or, for a desktop entry, not an application.
  std::optional<InstalledApplication> applicationInfo(const std::string& path) const override;
  /// A desktop entry: its Icon, absent when empty. A bundle: bundleIconPath.
  std::optional<std::string> iconForPath(const std::string& path) const override;
  /// The user's file manager: the first readable application entry that the mimeapps.list files name as the
  /// default for folders, else the first application entry (in id order) whose MimeType lists folders; absent
  /// when there is none.
  std::optional<InstalledApplication> fileManager() const override;
  /// The desktop entry with this desktop-file id (see findDesktopEntry).
  std::optional<std::string> pathForIdentifier(const std::string& identifier) const override;

 private:
  std::vector<std::filesystem::path> folders_;
};

}  // namespace tilvane::apps
