#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace tilvane::xdg {

/// The XDG base folders, read from the environment at every call so tests can redirect them.
/// $XDG_DATA_HOME, else ~/.local/share
std::filesystem::path dataHome();
/// $XDG_CONFIG_HOME, else ~/.config
std::filesystem::path configHome();
/// $XDG_CACHE_HOME, else ~/.cache
std::filesystem::path cacheHome();
/// The user's private runtime folder, and why $XDG_RUNTIME_DIR was passed over when it was.
struct RuntimeFolder {
  std::filesystem::path path;  ///< empty when there is no safe place
  std::string problem;         ///< why a folder was passed over, naming it; empty when none was
};
/// $XDG_RUNTIME_DIR (made 0700 when missing) when it is a private folder of ours (owned by the user, mode
/// 0700, not a link), else tilvane-<uid> in $TMPDIR (default /tmp) on the same terms.
RuntimeFolder runtimeFolder();
/// runtimeFolder().path
std::filesystem::path runtimeDir();
/// $XDG_DATA_DIRS split at ':', else /usr/local/share and /usr/share
std::vector<std::filesystem::path> dataDirs();
/// The home folder: $HOME, else the password database, else /tmp.
std::filesystem::path home();

}  // namespace tilvane::xdg
