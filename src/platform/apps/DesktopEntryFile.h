#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane::apps {

/// What the program reads of an XDG desktop entry (a "*.desktop" file): the keys of its "[Desktop Entry]"
/// group, unlocalised, with the string escapes (\s \n \t \r \\) resolved. Files are untrusted: invalid UTF-8
/// is replaced before anything is read.
struct DesktopEntryFile {
  std::string type;
  std::string name;
  std::string icon;
  /// The command line template, unparsed (see splitExec).
  std::string exec;
  /// "StartupWMClass": the WM_CLASS its windows carry, when the entry says.
  std::string startupWmClass;
  /// "MimeType": the media types it opens, as listed (';' between them).
  std::string mimeTypes;
  /// "NoDisplay=true": installed but not shown among the user's applications.
  bool noDisplay = false;
  /// "Hidden=true": the entry counts as deleted.
  bool hidden = false;
};

/// Parses the text of a desktop entry; absent when it has no "[Desktop Entry]" group.
std::optional<DesktopEntryFile> parseDesktopEntryFile(std::string_view text);

/// Reads and parses a desktop entry file of at most 64 KiB; absent when it cannot be read or parsed.
std::optional<DesktopEntryFile> readDesktopEntryFile(const std::filesystem::path& file);

/// Whether the path names a desktop entry (ends in ".desktop").
bool isDesktopEntryPath(const std::string& path);

/// Whether `file` lies below one of `applicationFolders` (lexically, as desktopEntryId sees it).
bool isInApplicationFolders(const std::filesystem::path& file,
                            const std::vector<std::filesystem::path>& applicationFolders);

/// The desktop-file id of `file`: its path below the first of `applicationFolders` that holds it, with '/'
/// turned into '-' and without ".desktop" ("kde/konsole.desktop" gives "kde-konsole"); for a file in none of
/// them, its file name without ".desktop".
std::string desktopEntryId(const std::filesystem::path& file,
                           const std::vector<std::filesystem::path>& applicationFolders);

/// The desktop entry file with desktop-file id `id`: the first of `applicationFolders` that holds one wins
/// ("kde-konsole" is "kde/konsole.desktop" or "kde-konsole.desktop"). Absent when none does or the id is not
/// a plain name.
std::optional<std::filesystem::path> findDesktopEntry(const std::string& id,
                                                      const std::vector<std::filesystem::path>& applicationFolders);

/// The "applications" folders of the XDG data folders of the environment, read now: $XDG_DATA_HOME, then
/// $XDG_DATA_DIRS.
std::vector<std::filesystem::path> xdgApplicationFolders();

/// The arguments of an Exec value, split by the entry format's quoting rules (double quotes, with \" \` \$
/// and \\ escaped inside), never through a shell. "%%" becomes "%"; the file and URL codes (%f %F %u %U) are
/// replaced by `arguments`, each its own argument (appended at the end when the template has none); the other
/// codes are dropped. Absent when the quoting is broken or nothing is left to run.
std::optional<std::vector<std::string>> splitExec(std::string_view exec, const std::vector<std::string>& arguments);

}  // namespace tilvane::apps
