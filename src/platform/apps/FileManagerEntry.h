#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tilvane::apps {

/// The media type of a folder: what a file manager opens.
inline constexpr std::string_view kFolderMediaType = "inode/directory";

/// The desktop entries a mimeapps.list text names as the default applications for `mediaType` ("[Default
/// Applications]", "type=a.desktop;b.desktop;"), in order, as desktop-file ids ("a", "b").
std::vector<std::string> defaultApplicationsIn(std::string_view mimeappsText, std::string_view mediaType);

/// Whether a desktop entry's MimeType value lists `mediaType`.
bool listsMediaType(std::string_view mimeTypes, std::string_view mediaType);

/// The mimeapps.list files of the environment, in order of precedence: $XDG_CONFIG_HOME, $XDG_CONFIG_DIRS (else
/// /etc/xdg), then each applications folder's.
std::vector<std::filesystem::path> mimeappsFiles(const std::vector<std::filesystem::path>& applicationFolders);

}  // namespace tilvane::apps
